#pragma once

// The animated GIF output: its page (the file name and the delay between
// frames) and its executor, which encodes every capture of a session as the
// next frame of one looping GIF, into a temporary beside the target that
// takes the target's name only when the session ends.

#include "app/Execute.h"
#include "image/DibImageGif.h"
#include "image/SafeFile.h"
#include "output/FilePage.h"

#include <memory>
#include <string>
#include <vector>

class CAnimatedGifDlg : public CFileSelectDlg {
public:
    explicit CAnimatedGifDlg(SettingsStore& settings);
    std::unique_ptr<CToExecute> CreateExecute() override;

protected:
    void Exchange(win::DataExchange& exchange) override;

private:
    // Hundredths of a second.
    int delay = 100;
};

class CAnimatedGifExecute : public CToExecute {
public:
    // `delay` in hundredths of a second; the file holds its low 16 bits.
    CAnimatedGifExecute(SettingsStore& settings, const std::string& fileName, int delay);
    // Writes an 8-bit copy of the capture as the next frame of the
    // temporary. A capture that cannot be added is left out and named in
    // LastStatus; once a frame could not be written (a full disk), the
    // temporary is cut back to the frames before it and no frame follows.
    bool Store(BitmapHolder& bitmap) override;
    // Frames are previewed as one animation at the end, never one by one.
    bool StoreWithPreview(HWND, BitmapHolder& bitmap, int) override { return Store(bitmap); }
    // Completes the file with the frames it holds and moves it under the
    // name as entered; with `preview` on, the finished temporary is shown
    // first and only Accept moves it, Drop removes it alone. A name that
    // cannot be replaced leaves the earlier file alone and the animation goes
    // under the first free numbered name beside it. Whatever the user must
    // know (left-out captures, another name, a lost animation) is in one text,
    // LastFailure when captures are missing, else LastNotice. True without
    // any file when no capture came.
    bool Finish(HWND owner, int preview) override;

    size_t frameCount() const { return static_cast<size_t>(writer.AnimationFrames()); }

private:
    bool LeaveOut(const std::string& why);
    // Moves the completed temporary under the entered name or, when that
    // cannot be replaced, under a numbered one; the name it went to, or the
    // temporary's when it stays where it is. `why` says what stood in the way.
    std::string Place(std::string& why);
    std::string MissingText() const;
    void Tell(const std::string& text, bool lost);

    std::string fileName;
    int delay;
    vistrel::CDibImageGif writer;
    // Opened with the first frame; none before it and once the animation is lost.
    std::unique_ptr<vistrel::CSafeFileStream> file;
    int captures = 0;         // every capture of the session, added or not
    std::vector<int> missing; // the numbers of the captures left out
    std::string missingWhy;   // why the first of them was left out
    std::string stopped;      // why no frame can be added any more
    std::string lostWhy;      // why the frames added so far cannot be kept
};
