// CSkinSettingsDlg: the program's main window for its whole life. It shows the
// skins as thumbnails, carries the commands, and owns the tray icon, the
// shell window watcher and the thumbnails.
#pragma once

#include "app/DataCollection.h"
#include "framework/Controls.h"
#include "framework/Dialog.h"
#include "framework/Strings.h"
#include "tray/TrayIcon.h"

class ZImage;

// The image format type for a file name extension, lower-cased and without
// dots ("gif" -> FORMAT_GIF); FORMAT_UNKNOWN for any other.
DWORD ExtensionToFormat(const char* extension);

// Where a picture of width × height goes in a 64 × 64 thumbnail: its aspect
// ratio kept, centred along the shorter side.
RECT ThumbnailPlacement(DWORD width, DWORD height);

class CSkinSettingsDlg : public CDialog {
public:
    explicit CSkinSettingsDlg(CWnd* parent = nullptr);

    // The thumbnails' edge, in pixels.
    static constexpr int kThumbnailSize = 64;

protected:
    void DoDataExchange(CDataExchange* pDX) override;
    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

    void OnSysCommand(UINT id, LPARAM lParam);
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnClose();
    void OnWindowPosChanging(WINDOWPOS* position);

    void OnAdd();
    void OnRemove();
    void OnClickList(NMHDR* header, LRESULT* result);
    void OnSelectionChanged(NMHDR* header, LRESULT* result);
    void OnHelp();
    void OnSkinSettings();
    void OnExit();
    void OnHide();
    void OnRunAtStartup();
    void OnClearAndExit();
    void OnAbout();
    void OnTellAFriend();
    void OnShowQuickTip();

    void LoadSkinList();
    // Draws image's thumbnail; at slot, or appended when slot is -1.
    void AddThumbnail(ZImage& image, int slot = -1);
    // Rebuilds the list view's rows: row i shows image i.
    void RebuildRows();
    void UpdateRemoveButton();
    static bool IsRunAtStartup();

    const MessageMap* GetMessageMap() const override;
    static const MessageEntry messageEntries[];
    static const MessageMap messageMap;

    CTrayIcon m_trayIcon;
    CDataCollection m_watcher;
    CString m_strFolder;
    CImageList m_imageList;
    bool m_bExiting = false;
    CButton m_btnRemove;
    CListCtrl m_listSkins;
    BOOL m_bRunAtStartup = FALSE;
    HICON m_hIcon;

private:
    // The thumbnail of a skin whose bitmap does not load.
    void AddPlaceholderThumbnail();
    // The row of the skin whose bitmap is bitmapPath, or -1.
    int FindSkin(const CString& bitmapPath) const;
};
