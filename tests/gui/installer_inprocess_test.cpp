// Tests of the installer's dialogs, resources and picture panel inside one
// process: this test program carries the installer's resources itself and
// runs the very dialog procedures and panel code of addon-setup.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>

#include "app/app_state.h"
#include "app/banner.h"
#include "app/dib_layout.h"
#include "app/help_dialog.h"
#include "app/image_panel.h"
#include "app/info_dialog.h"
#include "app/indexed_image.h"
#include "app/main_dialog.h"
#include "app/panel_palette.h"
#include "app/resource_blob.h"
#include "app/resource_view.h"
#include "resources/resource.h"
#include "tests/gui/expected_texts.h"

namespace {

// Sets up the process state as WinMain does and undoes the palette after
// each test, so that every test starts from a fresh set-up.
class Installer : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(GetACP(), 1252u);
    appState.instance = GetModuleHandleA(nullptr);
  }
  void TearDown() override { FreePanelPalette(); }
};

std::string LoadAnsiString(int id) {
  char text[400] = {};
  const int length = LoadStringA(appState.instance, id, text, sizeof text);
  return std::string(text, length > 0 ? length : 0);
}

TEST_F(Installer, StringTableArrivesByteExactThroughAnsiCalls) {
  // Strings 1 and 2 are the build's (ADDON_DESCRIPTION, ADDON_COMPONENTS).
  ASSERT_FALSE(expected::kConfiguredDescription.empty()) << "not convertible to Windows-1252";
  EXPECT_EQ(LoadAnsiString(IDS_DESCRIPTION), expected::kConfiguredDescription);
  EXPECT_EQ(LoadAnsiString(IDS_COMPONENTS), expected::kConfiguredComponents);
  if (std::strcmp(ADDON_COMPONENTS_UTF8, "p0046") == 0) {
    // A default build: the texts it must carry, byte for byte.
    EXPECT_EQ(LoadAnsiString(IDS_DESCRIPTION), expected::kDescription);
    EXPECT_EQ(expected::kConfiguredDescription, expected::kDescription);
  }
  EXPECT_EQ(LoadAnsiString(IDS_EXTRACTING), "Komponente wird entpackt. Bitte warten ...");
  EXPECT_EQ(LoadAnsiString(IDS_REGISTERING), "Komponente wird registriert.");
  EXPECT_EQ(LoadAnsiString(IDS_CHOOSE_FOLDER),
            "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden");
  EXPECT_EQ(LoadAnsiString(IDS_NOT_INSTALLED), "Folgende Komponenten konnten nicht installiert werden:\n%s");
  for (int unused : {3, 4, 9, 15}) EXPECT_EQ(LoadAnsiString(unused), "") << unused;
}

TEST_F(Installer, HelpTextIs198BytesOfWindows1252WithoutTerminator) {
  const ResourceBlob help(appState.instance, IDR_HELP_TEXT, RT_RCDATA);
  const unsigned char* bytes = nullptr;
  uint32_t size = 0;
  ASSERT_EQ(help.GetData(&bytes, &size), 1);
  ASSERT_EQ(size, 198u);
  EXPECT_EQ(std::memcmp(bytes, expected::kHelpText, 198), 0);
}

TEST_F(Installer, ManifestAsksForAdministratorAndVersionInfoIsGerman) {
  const ResourceView manifest(appState.instance, 1, RT_MANIFEST);
  ASSERT_NE(manifest.Bytes(), nullptr);
  const std::string xml(reinterpret_cast<const char*>(manifest.Bytes()), manifest.Size());
  for (const char* part : {"level=\"requireAdministrator\"", "<dpiAware", ">true</dpiAware>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
    EXPECT_NE(xml.find(part), std::string::npos) << part;

  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  const DWORD size = GetFileVersionInfoSizeA(path, &ignored);
  ASSERT_GT(size, 0u);
  std::string block(size, '\0');
  ASSERT_TRUE(GetFileVersionInfoA(path, 0, size, &block[0]));
  WORD* translation = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 1252);
  char* description = nullptr;
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\StringFileInfo\\040704E4\\FileDescription",
                             reinterpret_cast<void**>(&description), &length));
  EXPECT_STREQ(description, "Installation von Zusatzkomponenten f\xfc" "r Verdanelle");
  VS_FIXEDFILEINFO* fixed = nullptr;
  ASSERT_TRUE(VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length));
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
}

// Creates dialog `id` with `procedure` without running a modal loop.
HWND CreateDialogOf(int id, DLGPROC procedure) {
  return CreateDialogParamA(appState.instance, MAKEINTRESOURCEA(id), nullptr, procedure, 0);
}

TEST_F(Installer, BannerReadsTheSameAfterMainDialogIsInitialisedTwice) {
  for (int round = 0; round < 3; ++round) {
    HWND dialog = CreateDialogOf(IDD_MAIN, MainDialogProc);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(appState.mainDialog, dialog);
    char text[128] = {};
    GetDlgItemTextA(dialog, IDC_BANNER, text, sizeof text);
    EXPECT_STREQ(text, expected::kBanner) << "round " << round;
    EXPECT_EQ(BannerDescrambled(), 1);
    DestroyWindow(dialog);
  }
}

INT_PTR CALLBACK PlainDialogProc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }

// One control as its template must give it: id, class atom (0x80 button,
// 0x82 static, 0x83 list box), full style, rectangle in dialog units, text.
struct ControlSpec {
  int id;
  WORD classAtom;
  DWORD style;
  short x, y, width, height;
  const char* text;
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE;
constexpr WORD kButton = 0x80, kStatic = 0x82, kListBox = 0x83;

// Reads a WORD-aligned resource string or ordinal and steps over it.
std::wstring TemplateString(const WORD*& p) {
  if (*p == 0xFFFF) {
    const WORD ordinal = p[1];
    p += 2;
    return L"#" + std::to_wstring(ordinal);
  }
  std::wstring text;
  while (*p != 0) text += wchar_t(*p++);
  ++p;
  return text;
}

// Compares the German template of dialog `id` with `specs`, field by field,
// and the texts its windows show through the ANSI calls.
void ExpectTemplate(int id, const std::string& caption, DWORD dialogStyle, short width, short height,
                    std::initializer_list<ControlSpec> specs) {
  HRSRC found = FindResourceExA(appState.instance, MAKEINTRESOURCEA(5), MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  ASSERT_NE(found, nullptr) << "no German dialog " << id;
  const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(appState.instance, found)));
  EXPECT_EQ(dialog->style, dialogStyle | DS_SETFONT) << id;
  EXPECT_EQ(dialog->cdit, specs.size()) << id;
  EXPECT_EQ(dialog->cx, width) << id;
  EXPECT_EQ(dialog->cy, height) << id;
  const WORD* p = reinterpret_cast<const WORD*>(dialog + 1);
  EXPECT_EQ(TemplateString(p), L"") << "menu of " << id;
  EXPECT_EQ(TemplateString(p), L"") << "class of " << id;
  TemplateString(p);  // caption, compared below as ANSI
  EXPECT_EQ(*p++, 8) << "point size of " << id;
  EXPECT_EQ(TemplateString(p), L"MS Sans Serif") << id;

  HWND window = CreateDialogParamA(appState.instance, MAKEINTRESOURCEA(id), nullptr, PlainDialogProc, 0);
  ASSERT_NE(window, nullptr) << id;
  char text[512] = {};
  GetWindowTextA(window, text, sizeof text);
  EXPECT_EQ(std::string(text), caption) << id;
  HWND child = GetWindow(window, GW_CHILD);
  for (const ControlSpec& spec : specs) {
    p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    EXPECT_EQ(item->style, spec.style) << id << "/" << spec.id;
    EXPECT_EQ(item->dwExtendedStyle, 0u) << id << "/" << spec.id;
    EXPECT_EQ(item->x, spec.x) << id << "/" << spec.id;
    EXPECT_EQ(item->y, spec.y) << id << "/" << spec.id;
    EXPECT_EQ(item->cx, spec.width) << id << "/" << spec.id;
    EXPECT_EQ(item->cy, spec.height) << id << "/" << spec.id;
    EXPECT_EQ(item->id, WORD(spec.id)) << id << "/" << spec.id;
    p = reinterpret_cast<const WORD*>(item + 1);
    // The class by its atom or by its name; the dialog manager takes both.
    const std::wstring className = TemplateString(p);
    const wchar_t* name = spec.classAtom == kButton ? L"BUTTON" : spec.classAtom == kStatic ? L"STATIC" : L"LISTBOX";
    EXPECT_TRUE(className == L"#" + std::to_wstring(spec.classAtom) || _wcsicmp(className.c_str(), name) == 0)
        << id << "/" << spec.id;
    TemplateString(p);  // text, compared below as ANSI
    p += 1 + (*p + 1) / 2;  // creation data: a size word and the bytes
    ASSERT_NE(child, nullptr) << id << "/" << spec.id;
    GetWindowTextA(child, text, sizeof text);
    EXPECT_EQ(std::string(text), spec.text) << id << "/" << spec.id;
    child = GetWindow(child, GW_HWNDNEXT);
  }
  DestroyWindow(window);
}

TEST_F(Installer, DialogTemplatesAreGermanWithExactControlsStylesPlacesAndTexts) {
  constexpr DWORD kFrame = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  ExpectTemplate(IDD_MAIN, expected::kMainCaption, kFrame | WS_SYSMENU, 314, 117,
                 {{210, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 225, 12, 74, 20, expected::kInstall},
                  {211, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 225, 38, 74, 19, expected::kClose},
                  {218, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 225, 63, 74, 19, expected::kHelp},
                  {213, kStatic, kChild | SS_LEFT, 46, 17, 171, 38, ""},
                  {217, kStatic, kChild | WS_GROUP | SS_LEFT, 14, 17, 8, 8, ""},
                  {214, kStatic, kChild | SS_LEFT, 46, 75, 168, 11, ""},
                  {215, kStatic, kChild | SS_CENTER | SS_SUNKEN, 13, 92, 288, 12, ""},
                  {216, kStatic, kChild | WS_GROUP | SS_LEFT, 46, 54, 1, 1, ""}});
  ExpectTemplate(IDD_NOT_INSTALLED, expected::kInfoCaption, kFrame | WS_SYSMENU, 186, 121,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 68, 100, 50, 14, "OK"},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 172, 45, expected::kNotInstalledText1},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 58, 172, 37, expected::kNotInstalledText2}});
  ExpectTemplate(IDD_SUCCESS, expected::kInfoCaption, kFrame | WS_SYSMENU, 186, 95,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 68, 74, 50, 14, "OK"},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 172, 48, expected::kSuccessText}});
  ExpectTemplate(IDD_HELP, expected::kHelpCaption, kFrame, 241, 122,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 95, 101, 50, 14, "OK"},
                  {200, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 227, 81, ""}});
  ExpectTemplate(IDD_CHOOSE_FOLDER, expected::kFolderCaption, kFrame | WS_SYSMENU, 143, 207,
                 {{202, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 70, 178, 50, 14, "OK"},
                  {203, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 18, 178, 50, 14, "Abbrechen"},
                  {-1, kStatic, kChild | WS_GROUP | SS_LEFT, 19, 64, 58, 10, "&Verzeichnis :"},
                  {201, kListBox, kChild | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_SORT | LBS_NOTIFY, 18, 75, 102,
                   76, ""},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 23, 152, 93, 11, "Ausgew\xe4" "hltes Verzeichnis :"},
                  {204, kStatic, kChild | SS_CENTER, 16, 161, 108, 12, ""},
                  {200, kStatic, kChild | SS_CENTER, 7, 12, 129, 41, ""}});
}

TEST_F(Installer, InformationDialogIsCentredAndEndsOnOkOrEsc) {
  for (int command : {IDOK, IDCANCEL}) {
    HWND dialog = CreateDialogParamA(appState.instance, MAKEINTRESOURCEA(IDD_SUCCESS), nullptr, InfoDialogProc, 0);
    ASSERT_NE(dialog, nullptr);
    RECT r;
    GetWindowRect(dialog, &r);
    EXPECT_EQ(r.left, GetSystemMetrics(SM_CXSCREEN) / 2 - (r.right - r.left) / 2);
    EXPECT_EQ(r.top, GetSystemMetrics(SM_CYSCREEN) / 2 - (r.bottom - r.top) / 2);
    ShowWindow(dialog, SW_SHOW);
    SendMessageA(dialog, WM_COMMAND, 999, 0);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "other commands do not end it";
    SendMessageA(dialog, WM_COMMAND, command, 0);
    // A modeless dialog that was ended is hidden, not destroyed.
    EXPECT_FALSE(IsWindowVisible(dialog)) << command;
    DestroyWindow(dialog);
  }
}

TEST_F(Installer, HelpDialogFillsControl200WithTheHelpText) {
  HWND help = CreateDialogOf(IDD_HELP, HelpDialogProc);
  ASSERT_NE(help, nullptr);
  char text[512] = {};
  EXPECT_EQ(GetDlgItemTextA(help, IDC_HELP_TEXT, text, sizeof text), 198u);
  EXPECT_STREQ(text, expected::kHelpText);
  DestroyWindow(help);
}

TEST_F(Installer, PaletteSetUpMakesBlackTransparentAndCopiesBitmap100) {
  HPALETTE palette = InitPanelPalette(appState.instance, IDB_BANNER, RGB(0, 0, 0));
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(panelPalette.transparentIndex, 255);
  EXPECT_EQ(PanelTransparentIndex(), 255);

  const ResourceView bitmap(appState.instance, IDB_BANNER, RT_BITMAP);
  ASSERT_GE(bitmap.Size(), kDrawingHeaderSize);
  EXPECT_EQ(std::memcmp(panelPalette.drawingHeader, bitmap.Bytes(), kDrawingHeaderSize), 0);

  // 256 entries, each the colour table's blue/green/red turned round.
  PALETTEENTRY entries[257] = {};
  ASSERT_EQ(GetPaletteEntries(palette, 0, 257, entries), 256u);
  const unsigned char* table = bitmap.Bytes() + kInfoHeaderSize;
  for (int i = 0; i < 256; ++i) {
    ASSERT_EQ(entries[i].peRed, table[4 * i + 2]) << i;
    ASSERT_EQ(entries[i].peGreen, table[4 * i + 1]) << i;
    ASSERT_EQ(entries[i].peBlue, table[4 * i]) << i;
    ASSERT_EQ(entries[i].peFlags, 0) << i;
  }
}

TEST_F(Installer, PaletteSetUpWithoutTheBitmapGivesNoPaletteAndReleasesCleanly) {
  const uint8_t before = panelPalette.transparentIndex;
  EXPECT_EQ(InitPanelPalette(appState.instance, 999, RGB(0, 0, 0)), nullptr);
  EXPECT_EQ(panelPalette.palette, nullptr);
  EXPECT_EQ(panelPalette.transparentIndex, before);
  EXPECT_NE(panelPalette.drawingHeader, nullptr);
  FreePanelPalette();
  EXPECT_EQ(panelPalette.drawingHeader, nullptr);
  FreePanelPalette();  // a second release must not free again
}

TEST_F(Installer, ShippedPicturesLoadWithTheirSizesAndTransparentBackground) {
  ASSERT_NE(InitPanelPalette(appState.instance, IDB_BANNER, RGB(0, 0, 0)), nullptr);
  IndexedImage banner, flower, missing;
  banner.LoadFromResource(IDB_BANNER);
  flower.LoadFromResource(IDB_FLOWER);
  missing.LoadFromResource(102);
  EXPECT_EQ(banner.Width(), 168);
  EXPECT_EQ(banner.Height(), 30);
  EXPECT_EQ(banner.ByteCount(), 5040);
  EXPECT_EQ(flower.Stride(), 40);
  EXPECT_EQ(flower.ByteCount(), 1520);
  EXPECT_EQ(missing.Pixels(), nullptr);
  EXPECT_EQ(missing.Width(), 0);

  for (int32_t row = 0; row < banner.Height(); ++row)
    for (int32_t col = 0; col < banner.Width(); ++col) ASSERT_NE(banner.Row(row)[col], 255) << row << "," << col;
  // The flower's corners are background; its middle is flower.
  EXPECT_EQ(flower.Row(0)[0], 255);
  EXPECT_EQ(flower.Row(37)[37], 255);
  EXPECT_NE(flower.Row(19)[19], 255);
}

// A 64 x 64 24-bit memory surface to draw on and read back.
struct Surface {
  HDC dc = CreateCompatibleDC(nullptr);
  HBITMAP bitmap = nullptr;
  HGDIOBJ previous = nullptr;
  Surface() {
    BITMAPINFO info = {};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), 64, 64, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
    void* bits = nullptr;
    bitmap = CreateDIBSection(dc, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    previous = SelectObject(dc, bitmap);
  }
  ~Surface() {
    SelectObject(dc, previous);
    DeleteObject(bitmap);
    DeleteDC(dc);
  }
};

TEST_F(Installer, DrawingHeaderHoldsTheSizesOfTheLastDraw) {
  ASSERT_NE(InitPanelPalette(appState.instance, IDB_BANNER, RGB(0, 0, 0)), nullptr);
  Surface surface;
  ASSERT_NE(surface.bitmap, nullptr);
  const BITMAPINFOHEADER& header = panelPalette.drawingHeader->bmiHeader;

  IndexedImage small, flowerSized, empty;
  small.CreateBlank(7, 3);
  small.Fill(64);
  ASSERT_EQ(small.Draw(surface.dc, 2, 5), 1);
  EXPECT_EQ(header.biWidth, 7);
  EXPECT_EQ(header.biHeight, 3);
  EXPECT_EQ(header.biSizeImage, 24u);
  EXPECT_EQ(header.biBitCount, 8) << "the rest stays bitmap 100's";

  // The drawn pixels carry palette entry 64; the ones beside them do not.
  PALETTEENTRY entry;
  ASSERT_EQ(GetPaletteEntries(panelPalette.palette, 64, 1, &entry), 1u);
  EXPECT_EQ(GetPixel(surface.dc, 2, 5), RGB(entry.peRed, entry.peGreen, entry.peBlue));
  EXPECT_EQ(GetPixel(surface.dc, 8, 7), RGB(entry.peRed, entry.peGreen, entry.peBlue));
  EXPECT_EQ(GetPixel(surface.dc, 9, 5), RGB(0, 0, 0));

  flowerSized.CreateBlank(38, 38);
  flowerSized.Fill(70);
  ASSERT_EQ(flowerSized.Draw(surface.dc, 0, 0), 1);
  EXPECT_EQ(header.biWidth, 38);
  EXPECT_EQ(header.biHeight, 38);
  EXPECT_EQ(header.biSizeImage, 1520u);

  EXPECT_EQ(empty.Draw(surface.dc, 0, 0), 0);
  EXPECT_EQ(header.biWidth, 38) << "an empty image draws nothing and changes nothing";
}

// Colour of the panel at a point of the dialog's client area, as the screen shows it.
COLORREF ClientPixel(HWND dialog, POINT at) {
  HDC dc = GetDC(dialog);
  const COLORREF colour = GetPixel(dc, at.x, at.y);
  ReleaseDC(dialog, dc);
  return colour;
}

POINT PictureOrigin(HWND dialog, int anchorId) {
  RECT r;
  GetWindowRect(GetDlgItem(dialog, anchorId), &r);
  POINT corner = {r.left, r.top};
  ScreenToClient(dialog, &corner);
  return {corner.x + 1, corner.y + 1};
}

COLORREF PaletteColour(int index) {
  PALETTEENTRY entry = {};
  GetPaletteEntries(panelPalette.palette, index, 1, &entry);
  return RGB(entry.peRed, entry.peGreen, entry.peBlue);
}

TEST_F(Installer, PanelDrawsBannerAndFlowerOverTheFaceColour) {
  ASSERT_NE(InitPanelPalette(appState.instance, IDB_BANNER, RGB(0, 0, 0)), nullptr);
  HWND dialog = CreateDialogOf(IDD_MAIN, MainDialogProc);
  ASSERT_NE(dialog, nullptr);
  ShowWindow(dialog, SW_SHOW);
  UpdateWindow(dialog);
  PaintImagePanel(dialog);

  IndexedImage banner, flower;
  banner.LoadFromResource(IDB_BANNER);
  flower.LoadFromResource(IDB_FLOWER);
  const UINT face = GetNearestPaletteIndex(panelPalette.palette, GetSysColor(COLOR_BTNFACE));

  // Banner pixels land one pixel right of and below control 216's corner.
  const POINT b = PictureOrigin(dialog, IDC_BANNER_PICTURE_ANCHOR);
  for (POINT p : {POINT{0, 0}, POINT{84, 8}, POINT{167, 29}})
    EXPECT_EQ(ClientPixel(dialog, {b.x + p.x, b.y + p.y}), PaletteColour(banner.Row(p.y)[p.x])) << p.x << "," << p.y;
  // Flower: its transparent corner shows the face colour, its heart the flower.
  const POINT f = PictureOrigin(dialog, IDC_FLOWER_PICTURE_ANCHOR);
  EXPECT_EQ(ClientPixel(dialog, f), PaletteColour(face));
  EXPECT_EQ(ClientPixel(dialog, {f.x + 19, f.y + 19}), PaletteColour(flower.Row(19)[19]));

  // Without control 217 the banner is still drawn.
  DestroyWindow(GetDlgItem(dialog, IDC_FLOWER_PICTURE_ANCHOR));
  HDC dc = GetDC(dialog);
  RECT wipe = {b.x, b.y, b.x + 168, b.y + 30};
  FillRect(dc, &wipe, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  ReleaseDC(dialog, dc);
  PaintImagePanel(dialog);
  EXPECT_EQ(ClientPixel(dialog, {b.x + 84, b.y + 8}), PaletteColour(banner.Row(8)[84]));
  DestroyWindow(dialog);
}

}  // namespace
