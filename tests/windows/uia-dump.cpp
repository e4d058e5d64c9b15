// uia-dump: what a UI Automation client, as a Windows screen reader is one, sees of a window:
// every element under it with its control type, name, description, properties and patterns,
// and, optionally, the events it is told of while buttons are pressed.
//   uia-dump.exe [--invoke NAME]... [--watch SECONDS] [TITLE]
//   uia-dump.exe --brief [TITLE]
// TITLE defaults to "Lettura sensore", the readers' window; the window is waited for. Each
// --invoke presses the first element named NAME, in order, through its Invoke pattern or, where
// that fails, with a click at the centre of the element, while the window's events are
// subscribed to; --watch (default 5) is how long events are printed after each press. The tree
// is printed again at the end, then what the client asked for and could not get. With --brief,
// one line for each element under the window: its control type, name and full description, as
// `Button "Esci" ""`, and status 1 if they cannot be listed. Output is UTF-8.
// The Windows build makes it as quorin-uia-dump.exe (tests/windows), with the headers of the
// cross-built Qt: MinGW-w64's in Debian 12 lack the client interfaces.
// It reports what it finds, and fails only when the window never shows or UI Automation cannot
// be created at all.
//
// SPDX-License-Identifier: GPL-3.0-or-later

#include <windows.h>

#include <ole2.h>
// The GUIDs the headers below declare are defined here, CLSID_CUIAutomation among them.
#include <initguid.h>

// The UI Automation client interfaces as Qt declares them for MinGW-w64, whose headers in
// Debian 12 lack them (QtGui's private headers of the cross-built Qt).
// clang-format off
#include <QtGui/private/uiatypes_p.h>
#include <QtGui/private/uiaclientinterfaces_p.h>
// clang-format on
#include <QtGui/private/uiacontroltypeids_p.h>
#include <QtGui/private/uiaeventids_p.h>
#include <QtGui/private/uiapatternids_p.h>
#include <QtGui/private/uiapropertyids_p.h>

#include <cstdio>
#include <cwchar>
#include <set>
#include <string>
#include <vector>

// The few interfaces more that this client uses.
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

MIDL_INTERFACE("fb377fbe-8ea6-46d5-9c73-6499642d3059")
IUIAutomationInvokePattern : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE Invoke() = 0;
};
__CRT_UUID_DECL(IUIAutomationInvokePattern, 0xfb377fbe, 0x8ea6, 0x46d5, 0x9c, 0x73, 0x64, 0x99,
                0x64, 0x2d, 0x30, 0x59)

MIDL_INTERFACE("a94cd8b1-0844-4cd6-9d2d-640537ab39e9")
IUIAutomationValuePattern : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE SetValue(BSTR value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentValue(BSTR * value) = 0;
    virtual HRESULT STDMETHODCALLTYPE get_CurrentIsReadOnly(BOOL * readOnly) = 0;
};
__CRT_UUID_DECL(IUIAutomationValuePattern, 0xa94cd8b1, 0x0844, 0x4cd6, 0x9d, 0x2d, 0x64, 0x05, 0x37,
                0xab, 0x39, 0xe9)

MIDL_INTERFACE("146c3c17-f12e-4e22-8c27-f894b9b79c69")
IUIAutomationEventHandler : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE HandleAutomationEvent(IUIAutomationElement * sender,
                                                            EVENTID id)
        = 0;
};
__CRT_UUID_DECL(IUIAutomationEventHandler, 0x146c3c17, 0xf12e, 0x4e22, 0x8c, 0x27, 0xf8, 0x94, 0xb9,
                0xb7, 0x9c, 0x69)

MIDL_INTERFACE("40cd37d4-c756-4b0c-8c6f-bddfeeb13b50")
IUIAutomationPropertyChangedEventHandler : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE HandlePropertyChangedEvent(IUIAutomationElement * sender,
                                                                 PROPERTYID id, VARIANT value)
        = 0;
};
__CRT_UUID_DECL(IUIAutomationPropertyChangedEventHandler, 0x40cd37d4, 0xc756, 0x4b0c, 0x8c, 0x6f,
                0xbd, 0xdf, 0xee, 0xb1, 0x3b, 0x50)

MIDL_INTERFACE("e81d1b4e-11c5-42f8-9754-e7036c79f054")
IUIAutomationStructureChangedEventHandler : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE HandleStructureChangedEvent(IUIAutomationElement * sender,
                                                                  int change, SAFEARRAY *runtimeId)
        = 0;
};
__CRT_UUID_DECL(IUIAutomationStructureChangedEventHandler, 0xe81d1b4e, 0x11c5, 0x42f8, 0x97, 0x54,
                0xe7, 0x03, 0x6c, 0x79, 0xf0, 0x54)

MIDL_INTERFACE("c270f6b5-5c69-4290-9745-7a7f97169468")
IUIAutomationFocusChangedEventHandler : public IUnknown
{
    virtual HRESULT STDMETHODCALLTYPE HandleFocusChangedEvent(IUIAutomationElement * sender) = 0;
};
__CRT_UUID_DECL(IUIAutomationFocusChangedEventHandler, 0xc270f6b5, 0x5c69, 0x4290, 0x97, 0x45, 0x7a,
                0x7f, 0x97, 0x16, 0x94, 0x68)

namespace {

std::string utf8(const wchar_t *text, int size = -1)
{
    if (!text)
        return "(null)";
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text, size, nullptr, 0, nullptr, nullptr);
    std::string out(bytes > 0 ? bytes : 0, '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, size, out.data(), bytes, nullptr, nullptr);
    if (size < 0 && !out.empty())
        out.pop_back(); // the terminating zero
    return out;
}

std::string utf8(BSTR text)
{
    return text ? utf8(text, int(SysStringLen(text))) : std::string("(null)");
}

// The printed form of an HRESULT that is not S_OK.
std::string failed(HRESULT hr)
{
    char text[32];
    std::snprintf(text, sizeof text, "<failed 0x%08lx>", static_cast<unsigned long>(hr));
    return text;
}

void say(const std::string &line)
{
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// What the client asked for and could not get, told once at the end.
std::set<std::string> &unavailable()
{
    static std::set<std::string> names;
    return names;
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

// A BSTR property, or how it failed.
template<typename Get>
std::string text(Get get)
{
    BSTR value = nullptr;
    const HRESULT hr = get(&value);
    if (FAILED(hr))
        return failed(hr);
    std::string out = "\"" + utf8(value) + "\"";
    SysFreeString(value);
    return out;
}

std::string property(IUIAutomationElement *element, PROPERTYID id)
{
    VARIANT value;
    VariantInit(&value);
    const HRESULT hr = element->GetCurrentPropertyValueEx(id, FALSE, &value);
    if (FAILED(hr))
        return failed(hr);
    std::string out;
    switch (value.vt) {
    case VT_EMPTY:
        out = "(empty)";
        break;
    case VT_BSTR:
        out = "\"" + utf8(value.bstrVal) + "\"";
        break;
    case VT_I4:
        out = std::to_string(value.lVal);
        break;
    case VT_BOOL:
        out = value.boolVal ? "true" : "false";
        break;
    case VT_R8:
        out = std::to_string(value.dblVal);
        break;
    case VT_ARRAY | VT_R8: {
        double *items = nullptr;
        LONG high = -1;
        SafeArrayGetUBound(value.parray, 1, &high);
        if (SUCCEEDED(SafeArrayAccessData(value.parray, reinterpret_cast<void **>(&items)))) {
            for (LONG i = 0; i <= high; ++i)
                out += (i ? " " : "[") + std::to_string(int(items[i]));
            out += "]";
            SafeArrayUnaccessData(value.parray);
        }
        break;
    }
    case VT_UNKNOWN:
        out = "(not supported)";
        break;
    default:
        out = "(variant type " + std::to_string(value.vt) + ")";
    }
    VariantClear(&value);
    return out;
}

std::string describe(IUIAutomationElement *element)
{
    CONTROLTYPEID type = 0;
    element->get_CurrentControlType(&type);
    return std::string(typeName(type)) + " "
        + text([&](BSTR *v) { return element->get_CurrentName(v); });
}

void printElement(IUIAutomationElement *element, int depth)
{
    const std::string indent(2 * depth, ' ');
    say(indent + describe(element));
    // Properties as a client asks for them, each by its id; patterns through their properties.
    static const struct
    {
        PROPERTYID id;
        const char *name;
    } properties[] = {
        {UIA_LocalizedControlTypePropertyId, "LocalizedControlType"},
        {UIA_ClassNamePropertyId, "ClassName"},
        {UIA_FrameworkIdPropertyId, "FrameworkId"},
        {UIA_AutomationIdPropertyId, "AutomationId"},
        {UIA_HelpTextPropertyId, "HelpText"},
        {UIA_BoundingRectanglePropertyId, "BoundingRectangle"},
        {UIA_FullDescriptionPropertyId, "FullDescription"},
        {UIA_IsEnabledPropertyId, "IsEnabled"},
        {UIA_IsKeyboardFocusablePropertyId, "IsKeyboardFocusable"},
        {UIA_HasKeyboardFocusPropertyId, "HasKeyboardFocus"},
        {UIA_IsOffscreenPropertyId, "IsOffscreen"},
        {UIA_LiveSettingPropertyId, "LiveSetting"},
        {UIA_IsValuePatternAvailablePropertyId, "IsValuePatternAvailable"},
        {UIA_ValueValuePropertyId, "Value.Value"},
        {UIA_ValueIsReadOnlyPropertyId, "Value.IsReadOnly"},
        {UIA_IsRangeValuePatternAvailablePropertyId, "IsRangeValuePatternAvailable"},
        {UIA_IsTextPatternAvailablePropertyId, "IsTextPatternAvailable"},
        {UIA_IsInvokePatternAvailablePropertyId, "IsInvokePatternAvailable"},
        {UIA_IsTogglePatternAvailablePropertyId, "IsTogglePatternAvailable"},
        {UIA_IsSelectionItemPatternAvailablePropertyId, "IsSelectionItemPatternAvailable"},
        {UIA_SelectionItemIsSelectedPropertyId, "SelectionItem.IsSelected"},
        {UIA_IsLegacyIAccessiblePatternAvailablePropertyId, "IsLegacyIAccessiblePatternAvailable"},
        {UIA_LegacyIAccessibleRolePropertyId, "LegacyIAccessible.Role"},
        {UIA_LegacyIAccessibleValuePropertyId, "LegacyIAccessible.Value"},
        {UIA_LegacyIAccessibleDescriptionPropertyId, "LegacyIAccessible.Description"},
    };
    std::string line;
    for (const auto &p : properties) {
        const std::string value = property(element, p.id);
        if (value.rfind("<failed", 0) == 0)
            unavailable().insert(std::string(p.name) + " " + value);
        if (value == "(empty)" || value == "\"\"" || value.rfind("<failed", 0) == 0)
            continue;
        line += std::string(line.empty() ? "" : ", ") + p.name + " " + value;
        if (line.size() > 70) {
            say(indent + "    " + line);
            line.clear();
        }
    }
    if (!line.empty())
        say(indent + "    " + line);
    IUIAutomationValuePattern *value = nullptr;
    HRESULT hr = element->GetCurrentPatternAs(
        UIA_ValuePatternId, __uuidof(IUIAutomationValuePattern), reinterpret_cast<void **>(&value));
    if (value) {
        say(indent + "    Value pattern: value "
            + text([&](BSTR *v) { return value->get_CurrentValue(v); }));
        value->Release();
    } else if (FAILED(hr)) {
        unavailable().insert("Value pattern " + failed(hr));
    }
    IUnknown *invoke = nullptr;
    hr = element->GetCurrentPattern(UIA_InvokePatternId, &invoke);
    if (invoke) {
        say(indent + "    Invoke pattern");
        invoke->Release();
    } else if (FAILED(hr)) {
        unavailable().insert("Invoke pattern " + failed(hr));
    }
}

// The tree under an element, through a tree walker, or, without one, through FindAll.
void printTree(IUIAutomation *uia, IUIAutomationTreeWalker *walker, IUIAutomationElement *element,
               int depth)
{
    printElement(element, depth);
    if (walker) {
        IUIAutomationElement *child = nullptr;
        walker->GetFirstChildElement(element, &child);
        while (child) {
            printTree(uia, walker, child, depth + 1);
            IUIAutomationElement *next = nullptr;
            walker->GetNextSiblingElement(child, &next);
            child->Release();
            child = next;
        }
        return;
    }
    IUIAutomationCondition *all = nullptr;
    uia->CreateTrueCondition(&all);
    IUIAutomationElementArray *children = nullptr;
    const HRESULT hr = element->FindAll(TreeScope_Children, all, &children);
    all->Release();
    if (FAILED(hr))
        say(std::string(2 * depth + 2, ' ') + "children: FindAll " + failed(hr));
    if (!children)
        return;
    int count = 0;
    children->get_Length(&count);
    for (int i = 0; i < count; ++i) {
        IUIAutomationElement *child = nullptr;
        children->GetElement(i, &child);
        if (child) {
            printTree(uia, nullptr, child, depth + 1);
            child->Release();
        }
    }
    children->Release();
}

// Prints every event it is told of.
class Listener : public IUIAutomationEventHandler,
                 public IUIAutomationPropertyChangedEventHandler,
                 public IUIAutomationFocusChangedEventHandler,
                 public IUIAutomationStructureChangedEventHandler
{
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void **out) override
    {
        if (iid == __uuidof(IUnknown) || iid == __uuidof(IUIAutomationEventHandler))
            *out = static_cast<IUIAutomationEventHandler *>(this);
        else if (iid == __uuidof(IUIAutomationPropertyChangedEventHandler))
            *out = static_cast<IUIAutomationPropertyChangedEventHandler *>(this);
        else if (iid == __uuidof(IUIAutomationFocusChangedEventHandler))
            *out = static_cast<IUIAutomationFocusChangedEventHandler *>(this);
        else if (iid == __uuidof(IUIAutomationStructureChangedEventHandler))
            *out = static_cast<IUIAutomationStructureChangedEventHandler *>(this);
        else {
            *out = nullptr;
            return E_NOINTERFACE;
        }
        AddRef();
        return S_OK;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return InterlockedIncrement(&m_count); }
    ULONG STDMETHODCALLTYPE Release() override { return InterlockedDecrement(&m_count); }

    HRESULT STDMETHODCALLTYPE HandleAutomationEvent(IUIAutomationElement *sender,
                                                    EVENTID id) override
    {
        say("  event " + eventName(id) + " from " + describe(sender));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HandlePropertyChangedEvent(IUIAutomationElement *sender,
                                                         PROPERTYID id, VARIANT value) override
    {
        std::string shown = value.vt == VT_BSTR ? "\"" + utf8(value.bstrVal) + "\""
                                                : "(variant type " + std::to_string(value.vt) + ")";
        say("  property " + std::to_string(id) + " of " + describe(sender) + " is now " + shown);
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HandleFocusChangedEvent(IUIAutomationElement *sender) override
    {
        say("  focus on " + describe(sender));
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE HandleStructureChangedEvent(IUIAutomationElement *sender, int change,
                                                          SAFEARRAY *) override
    {
        say("  structure change " + std::to_string(change) + " under " + describe(sender));
        return S_OK;
    }

    static std::string eventName(EVENTID id)
    {
        switch (id) {
        case UIA_Text_TextChangedEventId:
            return "Text_TextChanged";
        case UIA_Text_TextSelectionChangedEventId:
            return "Text_TextSelectionChanged";
        case UIA_LiveRegionChangedEventId:
            return "LiveRegionChanged";
        case UIA_Invoke_InvokedEventId:
            return "Invoke_Invoked";
        case UIA_SystemAlertEventId:
            return "SystemAlert";
        case UIA_Window_WindowOpenedEventId:
            return "Window_WindowOpened";
        case UIA_MenuOpenedEventId:
            return "MenuOpened";
        default:
            return std::to_string(id);
        }
    }

private:
    LONG m_count = 1;
};

void subscribe(IUIAutomation *uia, IUIAutomationElement *window, Listener *listener)
{
    const EVENTID events[] = {UIA_Text_TextChangedEventId,  UIA_Text_TextSelectionChangedEventId,
                              UIA_LiveRegionChangedEventId, UIA_Invoke_InvokedEventId,
                              UIA_SystemAlertEventId,       UIA_Window_WindowOpenedEventId};
    for (EVENTID id : events) {
        const HRESULT hr
            = uia->AddAutomationEventHandler(id, window, TreeScope_Subtree, nullptr, listener);
        say("subscribe " + Listener::eventName(id) + ": "
            + (SUCCEEDED(hr) ? std::string("ok") : failed(hr)));
    }
    PROPERTYID properties[] = {UIA_NamePropertyId, UIA_ValueValuePropertyId, UIA_HelpTextPropertyId,
                               UIA_FullDescriptionPropertyId};
    SAFEARRAY *list = SafeArrayCreateVector(VT_I4, 0, 4);
    for (LONG i = 0; i < 4; ++i)
        SafeArrayPutElement(list, &i, &properties[i]);
    HRESULT hr
        = uia->AddPropertyChangedEventHandler(window, TreeScope_Subtree, nullptr, listener, list);
    SafeArrayDestroy(list);
    say("subscribe property changes (Name, Value, HelpText, FullDescription): "
        + (SUCCEEDED(hr) ? std::string("ok") : failed(hr)));
    hr = uia->AddStructureChangedEventHandler(window, TreeScope_Subtree, nullptr, listener);
    say("subscribe structure changes: " + (SUCCEEDED(hr) ? std::string("ok") : failed(hr)));
    hr = uia->AddFocusChangedEventHandler(nullptr, listener);
    say("subscribe focus changes: " + (SUCCEEDED(hr) ? std::string("ok") : failed(hr)));
}

// The first element under the window named NAME, compared here: a client's own search.
IUIAutomationElement *findNamed(IUIAutomation *uia, IUIAutomationElement *window,
                                const wchar_t *name)
{
    IUIAutomationCondition *all = nullptr;
    uia->CreateTrueCondition(&all);
    IUIAutomationElementArray *found = nullptr;
    window->FindAll(TreeScope_Descendants, all, &found);
    all->Release();
    IUIAutomationElement *named = nullptr;
    int count = 0;
    if (found)
        found->get_Length(&count);
    for (int i = 0; i < count && !named; ++i) {
        IUIAutomationElement *element = nullptr;
        found->GetElement(i, &element);
        BSTR its = nullptr;
        if (element && SUCCEEDED(element->get_CurrentName(&its)) && its
            && std::wcscmp(its, name) == 0)
            named = element;
        else if (element)
            element->Release();
        SysFreeString(its);
    }
    if (found)
        found->Release();
    return named;
}

HRESULT click(IUIAutomationElement *element)
{
    VARIANT box;
    VariantInit(&box);
    HRESULT hr = element->GetCurrentPropertyValueEx(UIA_BoundingRectanglePropertyId, FALSE, &box);
    if (FAILED(hr))
        return hr;
    double *edges = nullptr;
    if (box.vt != (VT_ARRAY | VT_R8) || SafeArrayGetDim(box.parray) != 1
        || FAILED(SafeArrayAccessData(box.parray, reinterpret_cast<void **>(&edges)))) {
        VariantClear(&box);
        return E_UNEXPECTED;
    }
    const int x = int(edges[0] + edges[2] / 2);
    const int y = int(edges[1] + edges[3] / 2);
    SafeArrayUnaccessData(box.parray);
    VariantClear(&box);
    SetCursorPos(x, y);
    INPUT press[2] = {};
    press[0].type = press[1].type = INPUT_MOUSE;
    press[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    press[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, press, sizeof *press) == 2 ? S_OK : HRESULT_FROM_WIN32(GetLastError());
}

} // namespace

int wmain(int argc, wchar_t **argv)
{
    std::wstring title = L"Lettura sensore";
    std::vector<std::wstring> presses;
    int watch = 5;
    bool brief = false;
    for (int i = 1; i < argc; ++i) {
        if (std::wcscmp(argv[i], L"--brief") == 0)
            brief = true;
        else if (std::wcscmp(argv[i], L"--invoke") == 0 && i + 1 < argc)
            presses.emplace_back(argv[++i]);
        else if (std::wcscmp(argv[i], L"--watch") == 0 && i + 1 < argc)
            watch = _wtoi(argv[++i]);
        else
            title = argv[i];
    }

    HRESULT hr = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    IUIAutomation *uia = nullptr;
    if (SUCCEEDED(hr))
        hr = CoCreateInstance(CLSID_CUIAutomation, nullptr, CLSCTX_INPROC_SERVER,
                              __uuidof(IUIAutomation), reinterpret_cast<void **>(&uia));
    if (FAILED(hr)) {
        say("CUIAutomation cannot be created: " + failed(hr));
        return 1;
    }

    // Bounded only against a window that never shows.
    HWND hwnd = nullptr;
    for (int tries = 0; !hwnd && tries < 3000; ++tries) {
        hwnd = FindWindowW(nullptr, title.c_str());
        if (!hwnd)
            Sleep(100);
    }
    if (!hwnd) {
        say("no window titled \"" + utf8(title.c_str()) + "\"");
        return 1;
    }

    IUIAutomationElement *window = nullptr;
    hr = uia->ElementFromHandle(hwnd, &window);
    if (FAILED(hr) || !window) {
        say("ElementFromHandle: " + failed(hr));
        return 1;
    }
    if (brief) {
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
                say(describe(element) + " " + property(element, UIA_FullDescriptionPropertyId));
                element->Release();
            }
        }
        return SUCCEEDED(hr) ? 0 : 1;
    }
    IUIAutomationTreeWalker *walker = nullptr;
    hr = uia->get_RawViewWalker(&walker);
    say("== the tree, "
        + (walker ? std::string("through the raw view walker")
                  : "through FindAll, the raw view walker " + failed(hr)));
    printTree(uia, walker, window, 0);

    IUIAutomationCondition *all = nullptr;
    uia->CreateTrueCondition(&all);
    IUIAutomationElementArray *found = nullptr;
    hr = window->FindAll(TreeScope_Descendants, all, &found);
    int count = 0;
    if (SUCCEEDED(hr) && found)
        found->get_Length(&count);
    say("== FindAll(TreeScope_Descendants, true): "
        + (SUCCEEDED(hr) ? std::to_string(count) + " elements" : failed(hr)));
    for (int i = 0; i < count; ++i) {
        IUIAutomationElement *element = nullptr;
        found->GetElement(i, &element);
        if (element) {
            say("  " + describe(element));
            element->Release();
        }
    }

    if (!presses.empty()) {
        say("== events");
        static Listener listener;
        subscribe(uia, window, &listener);
        for (const std::wstring &name : presses) {
            IUIAutomationElement *button = findNamed(uia, window, name.c_str());
            IUIAutomationInvokePattern *invoke = nullptr;
            hr = button ? button->GetCurrentPatternAs(UIA_InvokePatternId,
                                                      __uuidof(IUIAutomationInvokePattern),
                                                      reinterpret_cast<void **>(&invoke))
                        : E_FAIL;
            if (invoke)
                hr = invoke->Invoke();
            std::string how = "Invoke";
            if (button && FAILED(hr)) {
                // As a user would: a click at the centre of the element's bounding rectangle.
                how = "Invoke " + failed(hr) + "; clicked at the centre of its BoundingRectangle";
                hr = click(button);
            }
            say("press \"" + utf8(name.c_str()) + "\": "
                + (!button ? std::string("no such element")
                           : how + ": " + (SUCCEEDED(hr) ? std::string("ok") : failed(hr))));
            if (invoke)
                invoke->Release();
            if (button)
                button->Release();
            Sleep(DWORD(watch) * 1000); // only how long events are printed: nothing waits on it
        }
        uia->RemoveAllEventHandlers();
        say("== the tree again");
        printTree(uia, walker, window, 0);
    }
    say("== what the client could not get");
    for (const std::string &name : unavailable())
        say("  " + name);
    return 0;
}
