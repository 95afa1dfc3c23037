#include "app/Execute.h"

#include "app/Messages.h"
#include "app/ResultDlg.h"

void CHowExecute::RequestEnd() {
    endDecided = true;
    PostMessageA(mainWindow, MSG_END_SESSION, 0, 0);
}

bool CToExecute::StoreWithPreview(HWND owner, BitmapHolder& bitmap, int preview) {
    lastFailure.clear();
    lastNotice.clear();
    if (!preview)
        return Store(bitmap);
    INT_PTR answer;
    {
        CScrollBitmapDlg dialog(owner);
        dialog.SetBitmap(bitmap.get());
        answer = dialog.Run();
    }
    if (answer == -1) {
        // A preview that cannot open is no Drop: the capture is stored as
        // without the preview, and the user hears why it was not shown.
        const bool stored = Store(bitmap);
        const std::string said = stored ? "The preview could not be opened, so the capture was stored without it."
                                        : "The preview could not be opened.";
        lastNotice = lastNotice.empty() ? said : said + "\n\n" + lastNotice;
        return stored;
    }
    // Only an accepted capture is stored; a dropped one uses up no number.
    return answer == IDOK && Store(bitmap);
}
