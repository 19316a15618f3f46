// Tests of the installer's dialogs, resources and picture panel inside one
// process: this test program carries the installer's resources itself and
// runs the very dialog procedures and panel code of addon-setup.exe.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "app/app_state.h"
#include "app/picture/dib_layout.h"
#include "app/picture/indexed_image.h"
#include "app/dialogs/info_dialog.h"
#include "app/dialogs/main_dialog.h"
#include "app/picture/panel_palette.h"
#include "app/install/resource_view.h"
#include "resources/resource.h"
#include "tests/gui/expected_texts.h"
#include "tools/demo/gui_driver.h"

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

TEST_F(Installer, StringsAndHelpTextArriveByteExactThroughAnsiCalls) {
  // Strings 1 and 2 are the build's (ADDON_DESCRIPTION, ADDON_COMPONENTS).
  ASSERT_FALSE(expected::kConfiguredDescription.empty()) << "not convertible to Windows-1252";
  if (std::strcmp(ADDON_COMPONENTS_UTF8, "p0046") == 0) {
    EXPECT_EQ(expected::kConfiguredDescription, expected::kDescription) << "a default build's description";
  }
  const std::pair<int, std::string> strings[] = {
      {IDS_DESCRIPTION, expected::kConfiguredDescription},
      {IDS_COMPONENTS, expected::kConfiguredComponents},
      {IDS_EXTRACTING, "Komponente wird entpackt. Bitte warten ..."},
      {IDS_REGISTERING, "Komponente wird registriert."},
      {IDS_CHOOSE_FOLDER, "Bitte w\xe4" "hlen Sie das Verzeichnis aus,\nin dem sich die Zusatzkompontenten befinden"},
      {IDS_NOT_INSTALLED, "Folgende Komponenten konnten nicht installiert werden:\n%s"},
      {3, ""}, {4, ""}, {9, ""}, {15, ""}};
  for (const auto& [id, text] : strings) {
    char loaded[400] = {};
    const int length = LoadStringA(appState.instance, id, loaded, sizeof loaded);
    EXPECT_EQ(std::string(loaded, length > 0 ? length : 0), text) << "string " << id;
  }
  // RCDATA 400: 198 bytes of Windows-1252 without a terminator.
  const ResourceView help(appState.instance, IDR_HELP_TEXT, RT_RCDATA);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(help.Bytes()), help.Size()), expected::kHelpText);
}

TEST_F(Installer, ManifestAsksForAdministratorAndVersionInfoIsGerman) {
  const ResourceView manifest(appState.instance, 1, RT_MANIFEST);
  const std::string xml(reinterpret_cast<const char*>(manifest.Bytes()), manifest.Size());
  for (const char* part : {"level=\"requireAdministrator\"", "<dpiAware", ">true</dpiAware>",
                           "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\""})
    EXPECT_NE(xml.find(part), std::string::npos) << part;

  char path[MAX_PATH] = {};
  ASSERT_GT(GetModuleFileNameA(nullptr, path, MAX_PATH), 0u);
  DWORD ignored = 0;
  std::string block(GetFileVersionInfoSizeA(path, &ignored), '\0');
  ASSERT_TRUE(!block.empty() && GetFileVersionInfoA(path, 0, DWORD(block.size()), &block[0]));
  auto query = [&](const char* name) {
    void* value = nullptr;
    UINT length = 0;
    return VerQueryValueA(&block[0], name, &value, &length) ? value : nullptr;
  };
  const auto* translation = static_cast<const WORD*>(query("\\VarFileInfo\\Translation"));
  const auto* description = static_cast<const char*>(query("\\StringFileInfo\\040704E4\\FileDescription"));
  ASSERT_TRUE(translation != nullptr && description != nullptr);
  EXPECT_EQ(translation[0], 0x0407);
  EXPECT_EQ(translation[1], 1252);
  EXPECT_STREQ(description, "Installation von Zusatzkomponenten f\xfc" "r Verdanelle");
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
    EXPECT_EQ(gui::WindowText(GetDlgItem(dialog, IDC_BANNER)), expected::kBanner) << "round " << round;
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

// Reads a WORD-aligned resource string or ordinal ("#n") and steps over it.
std::wstring TemplateString(const WORD*& p) {
  if (*p == 0xFFFF) {
    p += 2;
    return L"#" + std::to_wstring(p[-1]);
  }
  std::wstring text(reinterpret_cast<const wchar_t*>(p));
  p += text.size() + 1;
  return text;
}

// Compares the German template of dialog `id` with `specs`, field by field,
// and the texts its windows show through the ANSI calls.
void ExpectTemplate(int id, const std::string& caption, DWORD dialogStyle, short width, short height,
                    std::initializer_list<ControlSpec> specs) {
  SCOPED_TRACE("dialog " + std::to_string(id));
  HRSRC found = FindResourceExA(appState.instance, RT_DIALOG, MAKEINTRESOURCEA(id),
                                MAKELANGID(LANG_GERMAN, SUBLANG_GERMAN));
  ASSERT_NE(found, nullptr) << "no German template";
  const auto* dialog = static_cast<const DLGTEMPLATE*>(LockResource(LoadResource(appState.instance, found)));
  EXPECT_EQ((std::vector<long long>{dialog->style, dialog->cdit, dialog->cx, dialog->cy}),
            (std::vector<long long>{dialogStyle | DS_SETFONT, static_cast<long long>(specs.size()), width, height}));
  const WORD* p = reinterpret_cast<const WORD*>(dialog + 1);
  const std::wstring menu = TemplateString(p), windowClass = TemplateString(p);
  TemplateString(p);  // caption, compared below as ANSI
  const WORD points = *p++;
  const std::wstring font = std::to_wstring(points) + L" " + TemplateString(p);
  EXPECT_EQ(menu + L"|" + windowClass + L"|" + font, L"||8 MS Sans Serif");

  HWND window = CreateDialogOf(id, PlainDialogProc);
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(gui::WindowText(window), caption);
  HWND child = GetWindow(window, GW_CHILD);
  for (const ControlSpec& spec : specs) {
    SCOPED_TRACE("control " + std::to_string(spec.id));
    p = reinterpret_cast<const WORD*>((reinterpret_cast<uintptr_t>(p) + 3) & ~uintptr_t{3});
    const auto* item = reinterpret_cast<const DLGITEMTEMPLATE*>(p);
    using Fields = std::vector<long long>;
    EXPECT_EQ((Fields{item->style, item->dwExtendedStyle, item->x, item->y, item->cx, item->cy, item->id}),
              (Fields{spec.style, 0, spec.x, spec.y, spec.width, spec.height, WORD(spec.id)}));
    p = reinterpret_cast<const WORD*>(item + 1);
    // The class by its atom or by its name; the dialog manager takes both.
    const std::wstring className = TemplateString(p);
    const wchar_t* name = spec.classAtom == kButton ? L"BUTTON" : spec.classAtom == kStatic ? L"STATIC" : L"LISTBOX";
    EXPECT_TRUE(className == L"#" + std::to_wstring(spec.classAtom) || _wcsicmp(className.c_str(), name) == 0);
    TemplateString(p);      // text, compared below as ANSI
    p += 1 + (*p + 1) / 2;  // creation data: a size word and the bytes
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(gui::WindowText(child), spec.text);
    child = GetWindow(child, GW_HWNDNEXT);
  }
  DestroyWindow(window);
}

TEST_F(Installer, DialogTemplatesAreGermanWithExactControlsStylesPlacesAndTexts) {
  constexpr DWORD kFrame = WS_POPUP | WS_CAPTION | DS_MODALFRAME;
  ExpectTemplate(IDD_MAIN, texts::kMainCaption, kFrame | WS_SYSMENU, 314, 117,
                 {{210, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 225, 12, 74, 20, expected::kInstall},
                  {211, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 225, 38, 74, 19, expected::kClose},
                  {218, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 225, 63, 74, 19, expected::kHelp},
                  {213, kStatic, kChild | SS_LEFT, 46, 17, 171, 38, ""},
                  {217, kStatic, kChild | WS_GROUP | SS_LEFT, 14, 17, 8, 8, ""},
                  {214, kStatic, kChild | SS_LEFT, 46, 75, 168, 11, ""},
                  {215, kStatic, kChild | SS_CENTER | SS_SUNKEN, 13, 92, 288, 12, ""},
                  {216, kStatic, kChild | WS_GROUP | SS_LEFT, 46, 54, 1, 1, ""}});
  ExpectTemplate(IDD_NOT_INSTALLED, texts::kInfoCaption, kFrame | WS_SYSMENU, 186, 121,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 68, 100, 50, 14, "OK"},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 172, 45, expected::kNotInstalledText1},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 58, 172, 37, expected::kNotInstalledText2}});
  ExpectTemplate(IDD_SUCCESS, texts::kInfoCaption, kFrame | WS_SYSMENU, 186, 95,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 68, 74, 50, 14, "OK"},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 172, 48, expected::kSuccessText}});
  ExpectTemplate(IDD_HELP, texts::kHelpCaption, kFrame, 241, 122,
                 {{1, kButton, kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 95, 101, 50, 14, "OK"},
                  {200, kStatic, kChild | WS_GROUP | SS_CENTER, 7, 7, 227, 81, ""}});
  ExpectTemplate(IDD_CHOOSE_FOLDER, texts::kFolderCaption, kFrame | WS_SYSMENU, 143, 207,
                 {{202, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 70, 178, 50, 14, "OK"},
                  {203, kButton, kChild | WS_TABSTOP | BS_PUSHBUTTON, 18, 178, 50, 14, "Abbrechen"},
                  {-1, kStatic, kChild | WS_GROUP | SS_LEFT, 19, 64, 58, 10, "&Verzeichnis :"},
                  {201, kListBox, kChild | WS_TABSTOP | WS_VSCROLL | WS_BORDER | LBS_SORT | LBS_NOTIFY, 18, 75, 102,
                   76, ""},
                  {-1, kStatic, kChild | WS_GROUP | SS_CENTER, 23, 152, 93, 11, "Ausgew\xe4" "hltes Verzeichnis :"},
                  {204, kStatic, kChild | SS_CENTER, 16, 161, 108, 12, ""},
                  {200, kStatic, kChild | SS_CENTER, 7, 12, 129, 41, ""}});
}

// That it is centred, installer_gui_test sees from outside.
TEST_F(Installer, InformationDialogEndsOnOkOrEscOnly) {
  for (int command : {IDOK, IDCANCEL}) {
    HWND dialog = CreateDialogOf(IDD_SUCCESS, InfoDialogProc);
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    SendMessageA(dialog, WM_COMMAND, 999, 0);
    EXPECT_TRUE(IsWindowVisible(dialog)) << "other commands do not end it";
    SendMessageA(dialog, WM_COMMAND, command, 0);
    // A modeless dialog that was ended is hidden, not destroyed.
    EXPECT_FALSE(IsWindowVisible(dialog)) << command;
    DestroyWindow(dialog);
  }
}

TEST_F(Installer, PaletteSetUpMakesBlackTransparentAndCopiesBitmap100) {
  HPALETTE palette = InitPanelPalette(appState.instance, IDB_BANNER, RGB(0, 0, 0));
  ASSERT_NE(palette, nullptr);
  EXPECT_EQ(PanelTransparentIndex(), 255);
  const ResourceView bitmap(appState.instance, IDB_BANNER, RT_BITMAP);
  ASSERT_GE(bitmap.Size(), kDrawingHeaderSize);
  EXPECT_EQ(std::memcmp(appState.panel.drawingHeader, bitmap.Bytes(), kDrawingHeaderSize), 0);
  // 256 entries, each the colour table's blue/green/red turned round, flags 0.
  PALETTEENTRY entries[257] = {};
  ASSERT_EQ(GetPaletteEntries(palette, 0, 257, entries), 256u);
  const unsigned char* table = bitmap.Bytes() + kInfoHeaderSize;
  for (int i = 0; i < 256; ++i)
    ASSERT_EQ(RGB(entries[i].peRed, entries[i].peGreen, entries[i].peBlue) | entries[i].peFlags << 24,
              RGB(table[4 * i + 2], table[4 * i + 1], table[4 * i]))
        << i;
}

TEST_F(Installer, WithoutItsBitmapThereIsNoPaletteNoPictureAndTheReleaseIsClean) {
  const uint8_t before = PanelTransparentIndex();
  EXPECT_EQ(InitPanelPalette(appState.instance, 999, RGB(0, 0, 0)), nullptr);
  EXPECT_EQ(appState.panel.palette, nullptr);
  EXPECT_EQ(PanelTransparentIndex(), before);
  IndexedImage missing;
  missing.CreateBlank(2, 2);
  missing.LoadFromResource(102);
  EXPECT_EQ(missing.Pixels(), nullptr);
  EXPECT_EQ(missing.Width(), 0);
  EXPECT_NE(appState.panel.drawingHeader, nullptr);
  FreePanelPalette();
  EXPECT_EQ(appState.panel.drawingHeader, nullptr);
  FreePanelPalette();  // a second release must not free again
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
  const HDC dc = surface.dc;
  const BITMAPINFOHEADER& header = appState.panel.drawingHeader->bmiHeader;
  auto sizes = [&] {
    return std::vector<long>{header.biWidth, header.biHeight, long(header.biSizeImage), header.biBitCount};
  };

  IndexedImage small, flowerSized, empty;
  small.CreateBlank(7, 3);
  small.Fill(64);
  ASSERT_EQ(small.Draw(dc, 2, 5), 1);
  EXPECT_EQ(sizes(), (std::vector<long>{7, 3, 24, 8})) << "the bit count stays bitmap 100's";
  // The drawn pixels carry palette entry 64; the ones beside them do not.
  PALETTEENTRY entry;
  ASSERT_EQ(GetPaletteEntries(appState.panel.palette, 64, 1, &entry), 1u);
  const COLORREF drawn = RGB(entry.peRed, entry.peGreen, entry.peBlue);
  EXPECT_EQ((std::vector<COLORREF>{GetPixel(dc, 2, 5), GetPixel(dc, 8, 7), GetPixel(dc, 9, 5)}),
            (std::vector<COLORREF>{drawn, drawn, RGB(0, 0, 0)}));

  flowerSized.CreateBlank(38, 38);
  flowerSized.Fill(70);
  ASSERT_EQ(flowerSized.Draw(dc, 0, 0), 1);
  EXPECT_EQ(sizes(), (std::vector<long>{38, 38, 1520, 8}));
  EXPECT_EQ(empty.Draw(dc, 0, 0), 0);
  EXPECT_EQ(sizes(), (std::vector<long>{38, 38, 1520, 8})) << "an empty image draws nothing and changes nothing";
}

}  // namespace
