#include "settings_writer.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "settings_file.h"

namespace {

struct Entry {
    bool isGroup;
    std::string name;
    std::string value; // keys only
};

void* file;
std::vector<Entry> entries;
std::string currentGroup;

bool SameKey(const std::string& a, const char* b) {
    size_t n = std::strlen(b);
    if (a.size() != n) return false;
    for (size_t i = 0; i < n; ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i])))
            return false;
    }
    return true;
}

// Index just past the current group's last entry, or entries.size() when the
// group is not there yet.
size_t GroupEnd(size_t* header) {
    size_t i = 0;
    for (; i < entries.size(); ++i)
        if (entries[i].isGroup && entries[i].name == currentGroup) break;
    *header = i;
    if (i == entries.size()) return i;
    size_t end = i + 1;
    while (end < entries.size() && !entries[end].isGroup)
        ++end;
    return end;
}

size_t Compose(char* out, size_t capacity) {
    size_t length = 0;
    auto put = [&](const std::string& s) {
        if (length + s.size() <= capacity) std::memcpy(out + length, s.data(), s.size());
        length += s.size();
    };
    for (const Entry& e : entries) {
        put(e.isGroup ? "[" + e.name + "]\r\n" : e.name + " = " + e.value + "\r\n");
    }
    return length;
}

} // namespace

void SettingsCreate(const char* fileName) {
    if (file) SettingsClose();
    entries.clear();
    currentGroup.clear();
    file = SettingsFileCreate(fileName);
}

void SettingsSelectGroup(const char* group) {
    if (!file) return;
    currentGroup = group;
}

void SettingsWriteInt(const char* key, int32_t value) {
    if (!file) return;
    char text[16];
    std::snprintf(text, sizeof text, "%i", static_cast<int>(value));
    size_t header = 0;
    size_t end = GroupEnd(&header);
    if (header == entries.size()) {
        entries.push_back({true, currentGroup, ""});
        entries.push_back({false, key, text});
        return;
    }
    for (size_t i = header + 1; i < end; ++i) {
        if (SameKey(entries[i].name, key)) {
            entries[i].value = text;
            return;
        }
    }
    entries.insert(entries.begin() + static_cast<std::ptrdiff_t>(end), Entry{false, key, text});
}

void SettingsClose() {
    if (!file) return;
    const size_t length = Compose(nullptr, 0);
    char* text = static_cast<char*>(std::malloc(length ? length : 1));
    if (text) {
        Compose(text, length);
        SettingsFileWriteAll(file, text, length);
        std::free(text);
    }
    SettingsFileClose(file);
    file = nullptr;
    entries.clear();
}

size_t SettingsComposeForTest(char* out, size_t capacity) {
    return Compose(out, capacity);
}
