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
    // temporary; a capture that cannot be converted or written is told in
    // LastFailure and left out.
    bool Store(BitmapHolder& bitmap) override;
    // Frames are previewed as one animation at the end, never one by one.
    bool StoreWithPreview(HWND, BitmapHolder& bitmap, int) override { return Store(bitmap); }
    // Completes the file and moves it under the name as entered; with
    // `preview` on, the finished temporary is shown first and only Accept
    // moves it, Drop removes it alone. True without any file when no frame
    // was stored.
    bool Finish(HWND owner, int preview) override;

    size_t frameCount() const { return static_cast<size_t>(writer.AnimationFrames()); }

private:
    bool Fail(const std::string& why);
    void Report(HWND owner, const std::string& why) const;
    std::string WriteFailure(const vistrel::CSafeFileStream& stream) const;

    std::string fileName;
    int delay;
    vistrel::CDibImageGif writer;
    // Opened with the first frame; none before it and after a failed write.
    std::unique_ptr<vistrel::CSafeFileStream> file;
    // The reason the temporary cannot be completed any more.
    std::string broken;
};
