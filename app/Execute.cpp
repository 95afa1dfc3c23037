#include "app/Execute.h"

#include "app/ResultDlg.h"

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
