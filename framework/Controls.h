// Wrappers of the common controls the settings window uses: a button, a list
// view and an image list.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include "framework/Wnd.h"

class CButton : public CWnd {};

class CImageList {
public:
    CImageList() = default;
    ~CImageList() { DeleteImageList(); }
    CImageList(const CImageList&) = delete;
    CImageList& operator=(const CImageList&) = delete;

    BOOL Create(int cx, int cy, UINT flags, int initial, int grow) {
        DeleteImageList();
        m_hImageList = ImageList_Create(cx, cy, flags, initial, grow);
        return m_hImageList != nullptr;
    }
    BOOL DeleteImageList() {
        HIMAGELIST list = m_hImageList;
        m_hImageList = nullptr;
        return list && ImageList_Destroy(list);
    }
    // The bitmap's pixels of colour mask become transparent; the index of the
    // new image, or -1.
    int Add(HBITMAP bitmap, COLORREF mask) { return ImageList_AddMasked(m_hImageList, bitmap, mask); }
    BOOL Replace(int index, HBITMAP bitmap) { return ImageList_Replace(m_hImageList, index, bitmap, nullptr); }
    BOOL Remove(int index) { return ImageList_Remove(m_hImageList, index); }
    int GetImageCount() const { return m_hImageList ? ImageList_GetImageCount(m_hImageList) : 0; }

    HIMAGELIST m_hImageList = nullptr;
};

class CListCtrl : public CWnd {
public:
    HIMAGELIST SetImageList(CImageList* list, int which) {
        return ListView_SetImageList(m_hWnd, list->m_hImageList, which);
    }
    BOOL DeleteAllItems() { return ListView_DeleteAllItems(m_hWnd); }
    int InsertItem(const LVITEMA* item) {
        return static_cast<int>(::SendMessageA(m_hWnd, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(item)));
    }
    int GetNextItem(int after, int flags) const { return ListView_GetNextItem(m_hWnd, after, flags); }
};
