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
    // Only an accepted capture is stored; a dropped one uses up no number.
    return answer == IDOK && Store(bitmap);
}
