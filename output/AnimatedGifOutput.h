#pragma once

// The animated GIF output: its page (the file name and the delay between
// frames) and its executor, which keeps every capture of a session as a
// frame and writes them all as one looping GIF when the session ends.

#include "app/Execute.h"
#include "image/DibImage.h"
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
    // Keeps an 8-bit copy of the capture as the next frame; writes nothing.
    bool Store(BitmapHolder& bitmap) override;
    // Frames are previewed as one animation at the end, never one by one.
    bool StoreWithPreview(HWND, BitmapHolder& bitmap, int) override { return Store(bitmap); }
    // Writes all frames under the name as entered, then offers the file in
    // the Result preview when `preview` is on; a dropped file is deleted.
    // True without writing anything when no frame was stored.
    bool Finish(HWND owner, int preview) override;

    size_t frameCount() const { return frames.size(); }

private:
    bool Write(std::string& failure);

    std::string fileName;
    int delay;
    std::vector<std::unique_ptr<vistrel::CDibImage>> frames;
};
