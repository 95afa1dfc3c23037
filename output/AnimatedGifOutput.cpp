#include "output/AnimatedGifOutput.h"

#include "app/ResultDlg.h"
#include "image/ByteStream.h"
#include "image/DibImageGif.h"
#include "output/DibUtils.h"
#include "output/FileExecute.h"
#include "output/FileNaming.h"
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

bool CAnimatedGifExecute::LeaveOut(const std::string& why) {
    missing.push_back(captures);
    if (missingWhy.empty())
        missingWhy = why;
    lastStatus = "Capture " + std::to_string(captures) + " could not be added to " + fileName + ": " + why;
    return false;
}

bool CAnimatedGifExecute::Store(BitmapHolder& bitmap) {
    lastFailure.clear();
    lastNotice.clear();
    lastStatus.clear();
    ++captures;
    if (!stopped.empty())
        return LeaveOut(stopped);
    vistrel::CDibImage frame(vistrel::FormatBmp);
    frame.SetFrameDelay(static_cast<uint32_t>(delay) & 0xFFFF);
    frame.SetGifCompression(vistrel::GifLzw);
    {
        // The same 8-bit reduction as the GIF output, freed before encoding.
        Palette palette = CreateScreenPalette();
        win::GlobalMemory dib = DibFromBitmap(bitmap.get(), 8, palette.get());
        if (!dib || !frame.ImportDibHandle(dib.get()) || !frame.HasPixels())
            return LeaveOut("the capture could not be converted");
    }
    if (!file) {
        file = std::make_unique<vistrel::CSafeFileStream>(fileName);
        if (!file->IsOpen()) {
            const std::string why = file->FailureText();
            file.reset();
            return LeaveOut(why);
        }
    }
    // Each frame reaches the disk as it comes: the end has only the last to wait for.
    const int64_t end = file->Tell();
    const bool added = writer.AddAnimationFrame(file.get(), frame, false);
    if (added && file->Sync())
        return true;
    if (!added && file->Tell() == end && file->FailureText().empty())
        return LeaveOut(writer.LastError()); // refused before a byte was written
    if (added)
        writer.TakeBackLastFrame(); // written, but not onto the disk
    // The frames before this one are whole: the file goes back to them, and
    // no frame follows a disk that has just said no.
    stopped = !file->FailureText().empty() ? file->FailureText() : writer.LastError();
    if (!file->CutBack(end)) {
        lostWhy = file->FailureText();
        file.reset();
    }
    return LeaveOut(stopped);
}

std::string CAnimatedGifExecute::MissingText() const {
    if (missing.empty())
        return {};
    std::string numbers;
    for (size_t i = 0; i < missing.size(); ++i) {
        if (i)
            numbers += i + 1 == missing.size() ? " and " : ", ";
        numbers += std::to_string(missing[i]);
    }
    return (missing.size() == 1 ? "Capture " + numbers + " could not be added: "
                                : "Captures " + numbers + " could not be added: ") +
           missingWhy;
}

void CAnimatedGifExecute::Tell(const std::string& text, bool lost) {
    (lost ? lastFailure : lastNotice) = text;
}

std::string CAnimatedGifExecute::Place(std::string& why) {
    if (file->CommitKeeping())
        return fileName;
    why = file->FailureText();
    if (file->TempPath().empty())
        return {}; // not even completed: nothing is left
    // The earlier file stays as it was; the animation takes a numbered name
    // beside it, as a series would.
    CFileNamer namer(fileName, [](unsigned char c) { return IsDBCSLeadByte(c) != FALSE; });
    NamingResult naming;
    std::string claimWhy;
    const NamingFileOps ops{[this](const std::string&, const std::string& to, std::string& moveWhy) {
                                const FileOpStatus status = FileOpFrom(file->CommitAsNew(to));
                                if (status == FileOpStatus::Failed)
                                    moveWhy = file->FailureText();
                                return status;
                            },
                            {}};
    if (namer.Claim(file->TempPath(), naming, ops, claimWhy))
        return naming.target;
    // No name could be had: the temporary itself is the animation now.
    const std::string kept = file->TempPath();
    file->Keep();
    return kept;
}

bool CAnimatedGifExecute::Finish(HWND owner, int preview) {
    lastFailure.clear();
    lastNotice.clear();
    const int held = writer.AnimationFrames();
    if (!file || held == 0) {
        file.reset();
        if (captures == 0)
            return true;
        std::string text = "Could not save " + fileName + ": ";
        text += held > 0 ? "the animation of " + std::to_string(held) + " captures is lost: " + lostWhy
                         : "no capture could be added. " + MissingText();
        Tell(text, true);
        return false;
    }
    if (!writer.EndAnimation(file.get()) || !file->Complete()) {
        const std::string why = !file->FailureText().empty() ? file->FailureText() : writer.LastError();
        file.reset();
        Tell("Could not save " + fileName + ": " + why + "\nThe animation of " + std::to_string(held) +
                 (held == 1 ? " capture is lost." : " captures are lost."),
             true);
        return false;
    }
    std::string previewNote;
    if (preview) {
        INT_PTR answer;
        {
            CScrollBitmapDlg dialog(owner);
            dialog.SetGifPath(file->TempPath());
            answer = dialog.Run();
        }
        if (answer == -1) {
            previewNote = "The preview could not be opened, so the animation was stored without it.";
        } else if (answer != IDOK) {
            // Drop removes only the temporary: a file kept under that name stays.
            const std::string temp = file->TempPath();
            file.reset();
            if (GetFileAttributesA(temp.c_str()) != INVALID_FILE_ATTRIBUTES)
                Tell("The dropped animation could not be removed: " + temp, false);
            return true;
        }
    }
    std::string why;
    const std::string placed = Place(why);
    std::vector<std::string> parts;
    if (!previewNote.empty())
        parts.push_back(previewNote);
    bool lost = !missing.empty();
    if (placed.empty()) {
        parts.push_back("Could not save " + fileName + ": " + why);
        lost = true;
    } else if (placed != fileName) {
        parts.push_back("Could not replace " + fileName + ": " + why + "\nIt is unchanged; the animation is stored as " +
                        placed + ".");
    }
    if (!missing.empty())
        parts.push_back((placed.empty() ? fileName : placed) + " holds " + std::to_string(held) +
                        (held == 1 ? " capture. " : " captures. ") + MissingText());
    std::string text;
    for (const std::string& part : parts)
        text += (text.empty() ? "" : "\n\n") + part;
    if (!text.empty())
        Tell(text, lost);
    return !placed.empty();
}
