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

bool CAnimatedGifExecute::Store(BitmapHolder& bitmap) {
    Palette palette = CreateScreenPalette();
    auto frame = std::make_unique<vistrel::CDibImage>(vistrel::FormatBmp);
    frame->SetFrameDelay(static_cast<uint32_t>(delay) & 0xFFFF);
    frame->SetGifCompression(vistrel::GifLzw);
    // The same 8-bit reduction as the GIF output; a failed one stays an
    // empty frame, as the writer expects one per capture.
    win::GlobalMemory dib = DibFromBitmap(bitmap.get(), 8, palette.get());
    if (dib)
        frame->ImportDibHandle(dib.get());
    frames.push_back(std::move(frame));
    return true;
}

bool CAnimatedGifExecute::Write(std::string& failure) {
    std::vector<vistrel::CDibImage*> images;
    images.reserve(frames.size());
    for (const auto& frame : frames)
        images.push_back(frame.get());
    vistrel::CDibImageGif writer;
    writer.SetGifCompression(vistrel::GifLzw);
    // Written beside the target and moved over it only when complete: a
    // failure leaves an earlier file of that name as it was.
    if (writer.SaveMultipageToFile(fileName.c_str(), images.data(), static_cast<int>(images.size()), false))
        return true;
    failure = writer.LastError();
    return false;
}

bool CAnimatedGifExecute::Finish(HWND owner, int preview) {
    if (frames.empty())
        return true;
    std::string failure;
    if (!Write(failure)) {
        const std::string text = "Could not save " + fileName + ": " + failure;
        MessageBoxA(owner, text.c_str(), "Vistrel", MB_OK | MB_ICONEXCLAMATION);
        return false;
    }
    if (!preview)
        return true;
    INT_PTR answer;
    {
        CScrollBitmapDlg dialog(owner);
        dialog.SetGifPath(fileName);
        answer = dialog.Run();
    }
    return answer == IDOK || DeleteFileA(fileName.c_str()) != FALSE;
}
