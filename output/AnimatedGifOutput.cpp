#include "output/AnimatedGifOutput.h"

#include "app/ResultDlg.h"
#include "image/ByteStream.h"
#include "image/DibImageGif.h"
#include "output/DibUtils.h"
#include "resources/resource.h"
#include "settings/SettingsStore.h"
#include "win/Text.h"

#include <algorithm>

CAnimatedGifDlg::CAnimatedGifDlg(SettingsStore& settings)
    : CFileSelectDlg(IDD_ANIMATED_GIF, IDS_SAVE_AS_ANIMATED_GIF, settings, "GIF (*.gif)|*.gif", "gif") {
    if (wasLastSelection())
        delay = settings.ReadNumber(IDS_DELAY);
}

void CAnimatedGifDlg::Exchange(win::DataExchange& exchange) {
    CFileSelectDlg::Exchange(exchange);
    exchange.Int(IDC_DELAY, delay);
}

std::unique_ptr<CToExecute> CAnimatedGifDlg::CreateExecute() {
    if (!WriteFileValues())
        return nullptr;
    settings.WriteNumber(IDS_DELAY, delay);
    WriteLastSelection();
    return std::make_unique<CAnimatedGifExecute>(settings, TargetName(), delay);
}

CAnimatedGifExecute::CAnimatedGifExecute(SettingsStore& settings, const std::string& fileName, int delay)
    : CToExecute(settings), fileName(fileName), delay(delay) {}

bool CAnimatedGifExecute::Fail(const std::string& why) {
    lastFailure = "Could not add the capture to " + fileName + ": " + why;
    return false;
}

std::string CAnimatedGifExecute::WriteFailure(const vistrel::CSafeFileStream& stream) const {
    // The system's reason (a full disk) says more than the encoder's.
    return !stream.FailureText().empty() ? stream.FailureText() : writer.LastError();
}

bool CAnimatedGifExecute::Store(BitmapHolder& bitmap) {
    lastFailure.clear();
    if (!broken.empty())
        return Fail(broken);
    vistrel::CDibImage frame(vistrel::FormatBmp);
    frame.SetFrameDelay(static_cast<uint32_t>(delay) & 0xFFFF);
    frame.SetGifCompression(vistrel::GifLzw);
    {
        // The same 8-bit reduction as the GIF output, freed before encoding.
        Palette palette = CreateScreenPalette();
        win::GlobalMemory dib = DibFromBitmap(bitmap.get(), 8, palette.get());
        if (!dib || !frame.ImportDibHandle(dib.get()) || !frame.HasPixels())
            return Fail("the capture could not be converted");
    }
    if (!file) {
        file = std::make_unique<vistrel::CSafeFileStream>(fileName);
        if (!file->IsOpen()) {
            const std::string why = file->FailureText();
            file.reset();
            return Fail(why);
        }
    }
    // Each frame reaches the disk as it comes: the end has only the last to wait for.
    const long end = file->Tell();
    if (writer.AddAnimationFrame(file.get(), frame, false) && file->Sync())
        return true;
    if (file->Tell() == end && file->FailureText().empty())
        return Fail(writer.LastError()); // refused before a byte was written: left out
    // Half a frame is in the temporary: no later frame can follow it.
    broken = WriteFailure(*file);
    file.reset();
    return Fail(broken);
}

void CAnimatedGifExecute::Report(HWND owner, const std::string& why) const {
    const std::string text = "Could not save " + fileName + ": " + why;
    MessageBoxA(owner, text.c_str(), "Vistrel", MB_OK | MB_ICONEXCLAMATION);
}

bool CAnimatedGifExecute::Finish(HWND owner, int preview) {
    // Frames that could not be stored were told when it happened.
    if (!file || writer.AnimationFrames() == 0) {
        file.reset();
        return broken.empty();
    }
    std::unique_ptr<vistrel::CSafeFileStream> done = std::move(file);
    const bool written = writer.EndAnimation(done.get()) && (preview ? done->Complete() : done->Commit());
    if (!written) {
        Report(owner, WriteFailure(*done));
        return false;
    }
    if (!preview)
        return true;
    INT_PTR answer;
    {
        CScrollBitmapDlg dialog(owner);
        dialog.SetGifPath(done->TempPath());
        answer = dialog.Run();
    }
    // Drop removes only the temporary: a file kept under that name stays.
    if (answer != IDOK)
        return true;
    if (!done->Commit()) {
        Report(owner, done->FailureText());
        return false;
    }
    return true;
}
