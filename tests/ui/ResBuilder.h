// Builds dialog templates and compiled resource files (.res) in memory, for
// tests that feed the Win32 stand-in resources no resource compiler would
// write: truncated, oddly named, or in several languages.
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
