// Adding and removing skins, and their thumbnails.
#include <cstring>

#include "app/SkinStore.h"
#include "app/ToolbarValues.h"
#include "framework/FileDialog.h"
#include "image/ZImage.h"
#include "ui/SkinSettingsDlg.h"

namespace {

const char kAddFilter[] = "Image Files|*.bmp;*.GIF;*.ICO;*.TGA;*.PCX;*.WBMP;*.WMF||";

constexpr COLORREF kThumbnailBackground = RGB(255, 255, 255);
constexpr COLORREF kThumbnailFrame = RGB(192, 192, 192);

const struct {
    const char* extension;
    DWORD format;
} kExtensionFormats[] = {
    {"bmp", FORMAT_BMP}, {"gif", FORMAT_GIF}, {"ico", FORMAT_ICO}, {"tga", FORMAT_TGA},
    {"pcx", FORMAT_PCX}, {"wbmp", FORMAT_WBMP}, {"wmf", FORMAT_WMF}, {"emf", FORMAT_WMF},
};

// A 64 × 64 bitmap in the screen's format, filled white, with draw's picture
// on it and the grey frame on top.
template <class Draw>
HBITMAP DrawThumbnailBitmap(HWND window, Draw&& draw) {
    const int size = CSkinSettingsDlg::kThumbnailSize;
    HBRUSH white = CreateSolidBrush(kThumbnailBackground);
    HBRUSH grey = CreateSolidBrush(kThumbnailFrame);
    HDC clientDC = GetDC(window);
    HDC memoryDC = CreateCompatibleDC(clientDC);
    HBITMAP bitmap = CreateCompatibleBitmap(clientDC, size, size);
    HGDIOBJ previous = SelectObject(memoryDC, bitmap);

    RECT square{0, 0, size, size};
    FillRect(memoryDC, &square, white);
    draw(memoryDC);
    FrameRect(memoryDC, &square, grey);

    SelectObject(memoryDC, previous);
    DeleteDC(memoryDC);
    ReleaseDC(window, clientDC);
    DeleteObject(white);
    DeleteObject(grey);
    return bitmap;
}

}  // namespace

DWORD ExtensionToFormat(const char* extension) {
    for (const auto& entry : kExtensionFormats) {
        if (std::strcmp(extension, entry.extension) == 0) return entry.format;
    }
    return FORMAT_UNKNOWN;
}

RECT ThumbnailPlacement(DWORD width, DWORD height) {
    const int size = CSkinSettingsDlg::kThumbnailSize;
    float ratio = static_cast<float>(height) / static_cast<float>(static_cast<int>(width));
    if (ratio > 1.0f) {
        int w = static_cast<int>(size / ratio);
        int x = (size - w) / 2;
        return {x, 0, x + w, size};
    }
    int h = static_cast<int>(ratio * size);
    int y = (size - h) / 2;
    return {0, y, size, y + h};
}

void CSkinSettingsDlg::AddThumbnail(ZImage& image, int slot) {
    RECT place = ThumbnailPlacement(image.GetWidth(), image.GetHeight());
    HBITMAP bitmap = DrawThumbnailBitmap(m_hWnd, [&](HDC dc) {
        image.Stretch(dc, place.left, place.top, place.right - place.left, place.bottom - place.top, SRCCOPY);
    });
    if (slot < 0) {
        m_imageList.Add(bitmap, RGB(0, 0, 0));
    } else {
        m_imageList.Replace(slot, bitmap);
    }
    DeleteObject(bitmap);
}

// A grey cross on the white square: the skin is listed, but its bitmap is
// gone or unreadable.
void CSkinSettingsDlg::AddPlaceholderThumbnail() {
    HBITMAP bitmap = DrawThumbnailBitmap(m_hWnd, [](HDC dc) {
        HPEN pen = CreatePen(PS_SOLID, 3, kThumbnailFrame);
        HGDIOBJ previous = SelectObject(dc, pen);
        const int end = kThumbnailSize - 16;
        MoveToEx(dc, 16, 16, nullptr);
        LineTo(dc, end, end);
        MoveToEx(dc, end, 16, nullptr);
        LineTo(dc, 16, end);
        SelectObject(dc, previous);
        DeleteObject(pen);
    });
    m_imageList.Add(bitmap, RGB(0, 0, 0));
    DeleteObject(bitmap);
}

void CSkinSettingsDlg::RebuildRows() {
    int count = m_imageList.GetImageCount();
    m_listSkins.SetRedraw(FALSE);
    m_listSkins.DeleteAllItems();
    for (int i = 0; i < count; ++i) {
        LVITEMA item{};
        item.mask = LVIF_TEXT | LVIF_IMAGE;
        item.iItem = i;
        item.iImage = i;
        m_listSkins.InsertItem(&item);
    }
    m_listSkins.SetRedraw(TRUE);
    m_listSkins.RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
    UpdateRemoveButton();
}

int CSkinSettingsDlg::FindSkin(const CString& bitmapPath) const {
    const CStringArray& skins = m_watcher.GetSkins();
    for (int i = 0; i < skins.GetSize(); ++i) {
        if (lstrcmpiA(skins[i], bitmapPath) == 0) return i;
    }
    return -1;
}

// An image whose base name is already a skin replaces that skin where it
// stands: one bitmap file, one list line, one rotation entry.
void CSkinSettingsDlg::OnAdd() {
    CFileDialog dialog(TRUE, nullptr, nullptr, OFN_ALLOWMULTISELECT, kAddFilter);
    if (dialog.DoModal() != IDOK) return;

    for (POSITION position = dialog.GetStartPosition(); position;) {
        CString path = dialog.GetNextPathName(position);
        ZImage image(FORMAT_UNKNOWN);
        CString extension = FileExtensionOf(path);
        if (!image.Load(path, ExtensionToFormat(extension.MakeLower())) || !image.IsValid()) continue;

        CString baseName = FileTitleOf(path);
        CString bitmapPath = SkinBitmapPath(m_strFolder, baseName);
        if (!image.Save(bitmapPath, FORMAT_BMP)) continue;

        int existing = FindSkin(bitmapPath);
        if (existing < 0) {
            m_watcher.AddSkin(bitmapPath);
            AddThumbnail(image);
        } else {
            WriteToolbarValues(bitmapPath);
            AddThumbnail(image, existing);
        }
        RebuildRows();
        WriteSkinListLine(SkinListPath(m_strFolder), baseName, bitmapPath);
    }
}

void CSkinSettingsDlg::OnRemove() {
    int row = m_listSkins.GetNextItem(-1, LVNI_SELECTED);
    if (row < 0) return;
    m_watcher.RemoveSkin(row);
    if (row < m_imageList.GetImageCount()) m_imageList.Remove(row);
    RebuildRows();
}

void CSkinSettingsDlg::UpdateRemoveButton() {
    m_btnRemove.EnableWindow(m_listSkins.GetNextItem(-1, LVNI_SELECTED) >= 0);
}

void CSkinSettingsDlg::OnClickList(NMHDR*, LRESULT* result) {
    UpdateRemoveButton();
    *result = 0;
}

void CSkinSettingsDlg::OnSelectionChanged(NMHDR* header, LRESULT* result) {
    const auto* change = reinterpret_cast<const NMLISTVIEW*>(header);
    if (change->uChanged & LVIF_STATE) UpdateRemoveButton();
    *result = 0;
}
