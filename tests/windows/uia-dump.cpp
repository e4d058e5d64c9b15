// uia-dump: what a UI Automation client, as a Windows screen reader is one, reads of a window:
// one line for each element under it, its control type, name and full description, as
// `Button "Esci" ""`. UTF-8; status 1 when the window never shows or its elements cannot be
// listed.
//   uia-dump.exe [TITLE]          TITLE defaults to "Lettura sensore", the readers' window
// The Windows build makes it as quorin-uia-dump.exe (tests/windows), with the headers of the
// cross-built Qt: MinGW-w64's in Debian 12 lack the client interfaces.
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include <ole2.h>
// The GUIDs the headers below declare are defined here, CLSID_CUIAutomation among them.
#include <initguid.h>

// The UI Automation client interfaces as Qt declares them for MinGW-w64 (QtGui's private
// headers of the cross-built Qt).
// clang-format off
#include <QtGui/private/uiatypes_p.h>
#include <QtGui/private/uiaclientinterfaces_p.h>
// clang-format on
#include <QtGui/private/uiacontroltypeids_p.h>
#include <QtGui/private/uiapropertyids_p.h>

#include <cstdio>
#include <string>

// The two interfaces more that this client uses.
MIDL_INTERFACE("14314595-b4bc-4055-95f2-58f2e42c9855")
IUIAutomationElementArray : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE get_Length(int *length) = 0;
    virtual HRESULT STDMETHODCALLTYPE GetElement(int index, IUIAutomationElement **element) = 0;
};
__CRT_UUID_DECL(IUIAutomationElementArray, 0x14314595, 0xb4bc, 0x4055, 0x95, 0xf2, 0x58, 0xf2, 0xe4,
                0x2c, 0x98, 0x55)

MIDL_INTERFACE("352ffba8-0973-437c-a61f-f64cafd81df9")
IUIAutomationCondition : public IUnknown{};
__CRT_UUID_DECL(IUIAutomationCondition, 0x352ffba8, 0x0973, 0x437c, 0xa6, 0x1f, 0xf6, 0x4c, 0xaf,
                0xd8, 0x1d, 0xf9)

namespace {

std::string utf8(BSTR text)
{
    const int size = text ? int(SysStringLen(text)) : 0;
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), bytes, nullptr, nullptr);
    return out;
}

void say(const std::string &line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

const char *typeName(CONTROLTYPEID id)
{
    static const char *const names[]
        = {"Button",      "Calendar",    "CheckBox",  "ComboBox",     "Edit",     "Hyperlink",
           "Image",       "ListItem",    "List",      "Menu",         "MenuBar",  "MenuItem",
           "ProgressBar", "RadioButton", "ScrollBar", "Slider",       "Spinner",  "StatusBar",
           "Tab",         "TabItem",     "Text",      "ToolBar",      "ToolTip",  "Tree",
           "TreeItem",    "Custom",      "Group",     "Thumb",        "DataGrid", "DataItem",
           "Document",    "SplitButton", "Window",    "Pane",         "Header",   "HeaderItem",
           "Table",       "TitleBar",    "Separator", "SemanticZoom", "AppBar"};
    const int index = id - UIA_ButtonControlTypeId;
    return index >= 0 && index < int(sizeof names / sizeof *names) ? names[index] : "?";
}

// `TYPE "NAME" "DESCRIPTION"`, as a screen reader asks for each.
std::string describe(IUIAutomationElement *element)
{
    CONTROLTYPEID type = 0;
    element->get_CurrentControlType(&type);
    BSTR name = nullptr;
    element->get_CurrentName(&name);
    VARIANT description;
    VariantInit(&description);
    element->GetCurrentPropertyValueEx(UIA_FullDescriptionPropertyId, FALSE, &description);
    std::string line = std::string(typeName(type)) + " \"" + utf8(name) + "\" \""
        + (description.vt == VT_BSTR ? utf8(description.bstrVal) : std::string()) + "\"";
    SysFreeString(name);
    VariantClear(&description);
    return line;
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    const wchar_t *title = argc > 1 ? argv[1] : L"Lettura sensore";
    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IUIAutomation *uia = nullptr;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CUIAutomation, nullptr, CLSCTX_INPROC_SERVER,
                              __uuidof(IUIAutomation), reinterpret_cast<void **>(&uia));
    if (FAILED(hr)) {
        say("UI Automation cannot be created");
        return 1;
    }

    // Bounded only against a window that never shows.
    HWND hwnd = nullptr;
    for (int tries = 0; !hwnd && tries < 3000; ++tries) {
        hwnd = FindWindowW(nullptr, title);
        if (!hwnd)
            Sleep(100);
    }
    IUIAutomationElement *window = nullptr;
    if (!hwnd || FAILED(uia->ElementFromHandle(hwnd, &window)) || !window) {
        say("no window of that title");
        return 1;
    }

    IUIAutomationCondition *all = nullptr;
    uia->CreateTrueCondition(&all);
    IUIAutomationElementArray *found = nullptr;
    hr = window->FindAll(TreeScope_Descendants, all, &found);
    int count = 0;
    if (found)
        found->get_Length(&count);
    for (int i = 0; i < count; ++i) {
        IUIAutomationElement *element = nullptr;
        found->GetElement(i, &element);
        if (element) {
            say(describe(element));
            element->Release();
        }
    }
    return SUCCEEDED(hr) ? 0 : 1;
}
