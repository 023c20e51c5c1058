// Builds dialog templates and compiled resource files (.res) in memory, for
// tests that feed user32 templates of their own (DialogBoxIndirectParamA) and
// the Win32 stand-in resources no resource compiler would write: truncated,
// oddly named, or in several languages.
#pragma once

#include <windows.h>

#include "ByteWriter.h"

#include <cstring>
#include <string>
#include <vector>

struct ItemSpec {
    WORD id;
    WORD atom;                  // 0 when className is used
    const char16_t* className;  // class by name
    const char16_t* text;
    DWORD style;
};

// A classic template with DS_SETFONT and the given items.
inline std::vector<unsigned char> DialogTemplate(const char16_t* caption, const std::vector<ItemSpec>& items,
                                                 DWORD style = WS_POPUP | WS_CAPTION | DS_SETFONT) {
    ByteWriter w;
    w.Dword(style);
    w.Dword(0);
    w.Word(static_cast<WORD>(items.size()));
    for (short v : {0, 0, 100, 50}) w.Short(v);
    w.Word(0);
    w.Word(0);
    w.Text(caption);
    if (style & DS_SETFONT) {
        w.Word(9);
        w.Text(u"Font");
    }
    for (const ItemSpec& item : items) {
        w.AlignDword();
        w.Dword(item.style);
        w.Dword(0);
        for (short v : {1, 2, 30, 10}) w.Short(v);
        w.Word(item.id);
        if (item.atom) {
            w.Word(0xFFFF);
            w.Word(item.atom);
        } else {
            w.Text(item.className);
        }
        w.Text(item.text);
        w.Word(0);
    }
    return w.bytes;
}

// Controls of every class the dialogs use, in two radio groups with a static
// text inside one, a disabled button and an unsorted and a sorted combo box.
inline std::vector<ItemSpec> SampleDialogItems() {
    const DWORD child = WS_CHILD | WS_VISIBLE;
    return {
        {1, 0x80, nullptr, u"OK", child | BS_DEFPUSHBUTTON | WS_TABSTOP},
        {2, 0, u"button", u"Cancel", child | WS_TABSTOP},
        {10, 0x80, nullptr, u"A", child | BS_AUTORADIOBUTTON | WS_GROUP},
        {0xFFFF, 0x82, nullptr, u"label", child},
        {11, 0x80, nullptr, u"B", child | BS_AUTORADIOBUTTON},
        {20, 0x80, nullptr, u"C", child | BS_AUTORADIOBUTTON | WS_GROUP},
        {30, 0x80, nullptr, u"check", child | BS_AUTOCHECKBOX | WS_GROUP},
        {31, 0x80, nullptr, u"three", child | BS_AUTO3STATE},
        {40, 0x81, nullptr, u"edit", child},
        {50, 0, u"ComboBox", u"", child | CBS_DROPDOWN},
        {51, 0x85, nullptr, u"", child | CBS_DROPDOWN | CBS_SORT},
        {60, 0x80, nullptr, u"off", child | WS_DISABLED},
    };
}

struct ResSpec {
    WORD type;
    WORD nameId;           // used when name is null
    const char16_t* name;  // string name
    WORD language;
    std::vector<unsigned char> data;
};

// A .res file: the empty entry, then each resource.
inline std::vector<unsigned char> ResFile(const std::vector<ResSpec>& resources) {
    ByteWriter w;
    auto entry = [&w](WORD type, WORD nameId, const char16_t* name, WORD language,
                      const std::vector<unsigned char>& data) {
        ByteWriter header;
        header.Word(0xFFFF);
        header.Word(type);
        if (name) {
            header.Text(name);
        } else {
            header.Word(0xFFFF);
            header.Word(nameId);
        }
        header.AlignDword();
        header.Dword(0);
        header.Word(0x1030);
        header.Word(language);
        header.Dword(0);
        header.Dword(0);
        w.Dword(static_cast<DWORD>(data.size()));
        w.Dword(static_cast<DWORD>(header.bytes.size() + 8));
        w.Raw(header.bytes.data(), header.bytes.size());
        w.Raw(data.data(), data.size());
        w.AlignDword();
    };
    entry(0, 0, nullptr, 0, {});
    for (const ResSpec& r : resources) entry(r.type, r.nameId, r.name, r.language, r.data);
    return w.bytes;
}
