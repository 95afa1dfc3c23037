#include "app/Execute.h"

bool CToExecute::StoreWithPreview(HWND, BitmapHolder& bitmap, int) {
    return Store(bitmap);
}
