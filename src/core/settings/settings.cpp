#include "core/settings/settings.h"

#include <algorithm>

#include "core/protocol/source_set.h"
#include "core/settings/stored_multi_text.h"
#include "core/text/little_endian.h"
#include "core/text/text.h"

namespace {

constexpr int32_t SETTINGS_VERSION = 2;
constexpr int32_t OLD_FORMAT_VERSION = 1;
// The buffers the fixed texts were always read with: a longer stored text is not taken.
constexpr size_t PATH_BUFFER_BYTES = 520;
constexpr size_t LAST_FILTER_BUFFER_BYTES = 128;

// A looked-up value with its bytes; the decoders' view of it points into them, so it is made where it is used.
struct Stored {
    uint32_t type; // 0, which every decoder refuses, when the value was not found
    std::vector<unsigned char> bytes;

    StoredValue value() const { return {type, bytes.data(), bytes.size()}; }
};

Stored Look(StoredValueLookup lookup, void* context, const char16_t* name) {
    Stored stored{};
    if (!lookup(context, name, stored.type, stored.bytes)) {
        stored = Stored{};
    }
    return stored;
}

void ReadNumber(StoredValueLookup lookup, void* context, const char16_t* name, int32_t& field) {
    DecodeStoredNumber(Look(lookup, context, name).value(), &field);
}

void ReadFixedText(StoredValueLookup lookup, void* context, const char16_t* name, size_t bufferBytes, char16_t* field,
                   size_t fieldSize) {
    DecodeFixedText(Look(lookup, context, name).value(), bufferBytes, field, fieldSize);
}

// A text of any size; the empty text when it is missing or not text.
std::u16string ReadWideText(StoredValueLookup lookup, void* context, const char16_t* name) {
    Stored stored = Look(lookup, context, name);
    if (stored.type != STORED_TYPE_TEXT) {
        return {};
    }
    std::u16string text(StoredTextUnits(stored.value()), u'\0');
    text.resize(DecodeWideText(stored.value(), text.data(), text.size()));
    return text;
}

std::u16string ReadAnsiText(StoredValueLookup lookup, void* context, const char16_t* name, AnsiTextDecoder decodeAnsi) {
    Stored stored = Look(lookup, context, name);
    if (stored.type != STORED_TYPE_TEXT) {
        return {};
    }
    // One character per stored byte at most, and the terminator.
    std::u16string text(stored.value().size + 1, u'\0');
    text.resize(DecodeAnsiText(stored.value(), decodeAnsi, text.data(), text.size()));
    return text;
}

// A multi-string value's strings; none when it is missing or of another type.
std::vector<std::u16string> ReadStrings(StoredValueLookup lookup, void* context, const char16_t* name) {
    std::vector<std::u16string> strings;
    DecodeStoredMultiText(Look(lookup, context, name).value(), &strings);
    return strings;
}

// The stored masters that read as entries, each once, at most MAX_MASTERS of them.
std::vector<MasterEntry> ReadMasters(StoredValueLookup lookup, void* context) {
    std::vector<MasterEntry> masters;
    for (const std::u16string& text : ReadStrings(lookup, context, u"Master Servers")) {
        MasterEntry entry;
        if (masters.size() < static_cast<size_t>(MAX_MASTERS) && ParseMasterEntry(text, &entry) == MasterFault::None &&
            std::none_of(masters.begin(), masters.end(),
                         [&entry](const MasterEntry& earlier) { return IsSameMaster(earlier, entry); })) {
            masters.push_back(entry);
        }
    }
    return masters;
}

void WriteNumber(StoredValueWriter write, void* context, const char16_t* name, int32_t number) {
    std::vector<unsigned char> bytes;
    AppendLittleEndian(bytes, static_cast<uint32_t>(number), 4);
    write(context, name, STORED_TYPE_NUMBER, bytes.data(), bytes.size());
}

// A text up to its terminator, stored with it as UTF-16 little-endian.
void WriteText(StoredValueWriter write, void* context, const char16_t* name, const char16_t* text) {
    std::vector<unsigned char> bytes;
    AppendUtf16(bytes, text);
    AppendLittleEndian(bytes, 0, 2);
    write(context, name, STORED_TYPE_TEXT, bytes.data(), bytes.size());
}

// A number stored only while it is not its default: a setting the user never changed writes nothing.
void WriteUnlessDefault(StoredValueWriter write, void* context, const char16_t* name, int32_t number,
                        int32_t byDefault) {
    if (number == byDefault) {
        write(context, name, STORED_TYPE_NUMBER, nullptr, 0);
    } else {
        WriteNumber(write, context, name, number);
    }
}

// An on/off setting: a stored number 0 is off, any other number on, anything else (or nothing) its default.
bool ReadSwitch(StoredValueLookup lookup, void* context, const char16_t* name, bool byDefault) {
    int32_t number = byDefault ? 1 : 0;
    ReadNumber(lookup, context, name, number);
    return number != 0;
}

// The strings as a multi-string value; no strings delete it.
void WriteStrings(StoredValueWriter write, void* context, const char16_t* name,
                  const std::vector<std::u16string>& strings) {
    if (strings.empty()) {
        write(context, name, STORED_TYPE_MULTI_TEXT, nullptr, 0);
        return;
    }
    std::vector<unsigned char> bytes = EncodeStoredMultiText(strings);
    write(context, name, STORED_TYPE_MULTI_TEXT, bytes.data(), bytes.size());
}

} // namespace

void SetFirstStart(Settings& settings) {
    settings.showEmpty = 1;
    settings.showFull = 1;
    ValidateConfiguration(settings.config);
}

void DecodeSettings(StoredValueLookup lookup, void* context, AnsiTextDecoder decodeAnsi, Settings& settings) {
    ReadNumber(lookup, context, u"Packets Per Second", settings.config.packetsPerSecond);
    ReadNumber(lookup, context, u"Player View Style", settings.playerViewDetails);
    ReadNumber(lookup, context, u"Good Ping Threshold", settings.config.goodPing);
    ReadNumber(lookup, context, u"Medium Ping Threshold", settings.config.mediumPing);
    ReadNumber(lookup, context, u"Show Empty Servers", settings.showEmpty);
    ReadNumber(lookup, context, u"Show Full Servers", settings.showFull);
    int32_t formatVersion = OLD_FORMAT_VERSION;
    ReadNumber(lookup, context, u"Version", formatVersion);
    ReadNumber(lookup, context, u"Sort Order", settings.sortColumn);

    ReadFixedText(lookup, context, u"Quake II Directory", PATH_BUFFER_BYTES, settings.config.gameDir, PATH_TEXT_SIZE);
    ReadFixedText(lookup, context, u"Quake II Executable", PATH_BUFFER_BYTES, settings.config.gameExe, PATH_TEXT_SIZE);
    char16_t lastModFilter[MOD_DIR_SIZE] = {};
    TextCopy(lastModFilter, MOD_DIR_SIZE, settings.lastModFilter.substr(0, MOD_DIR_SIZE - 1).c_str());
    ReadFixedText(lookup, context, u"Last Used Mod Filter", LAST_FILTER_BUFFER_BYTES, lastModFilter, MOD_DIR_SIZE);
    settings.lastModFilter = lastModFilter;

    Stored placement = Look(lookup, context, u"Window Position");
    if (IsStoredPlacement(placement.value(), PLACEMENT_SIZE)) {
        settings.hasPlacement = true;
        for (uint32_t i = 0; i < PLACEMENT_SIZE; ++i) {
            settings.placement[i] = placement.bytes[i];
        }
    }

    settings.config.buddyText = formatVersion == OLD_FORMAT_VERSION
                                    ? ReadAnsiText(lookup, context, u"Buddy List", decodeAnsi)
                                    : ReadWideText(lookup, context, u"Buddy List");
    settings.hasModFilterText = true;
    settings.modFilterText = ReadWideText(lookup, context, u"Mod Filters");
    settings.config.masters = ReadMasters(lookup, context);
    ParseFavourites(ReadStrings(lookup, context, u"Favourite Servers"), &settings.favourites);
    // Stored only when turned off: a number 0 turns it off, anything else leaves it on.
    int32_t searchLan = 1;
    ReadNumber(lookup, context, u"Search LAN", searchLan);
    settings.config.searchLan = searchLan != 0;
    ReadNumber(lookup, context, u"Refresh Every", settings.config.refreshMinutes);
    settings.config.keepInTray = ReadSwitch(lookup, context, u"Keep Running In Notification Area", false);
    settings.config.buddyAlerts = ReadSwitch(lookup, context, u"Tell Me When Buddies Play", false);
    settings.config.keepHistory = ReadSwitch(lookup, context, u"Keep Server History", true);
    ParseFavourites(ReadStrings(lookup, context, u"Watched Servers"), &settings.watched);
    ValidateConfiguration(settings.config);
}

void EncodeSettings(const Settings& settings, StoredValueWriter write, void* context) {
    WriteText(write, context, u"Quake II Directory", settings.config.gameDir);
    WriteText(write, context, u"Quake II Executable", settings.config.gameExe);
    WriteText(write, context, u"Last Used Mod Filter", settings.lastModFilter.c_str());
    WriteText(write, context, u"Buddy List", settings.config.buddyText.c_str());
    WriteText(write, context, u"Mod Filters", settings.modFilterText.c_str());
    WriteNumber(write, context, u"Packets Per Second", settings.config.packetsPerSecond);
    WriteNumber(write, context, u"Player View Style", settings.playerViewDetails);
    WriteNumber(write, context, u"Good Ping Threshold", settings.config.goodPing);
    WriteNumber(write, context, u"Medium Ping Threshold", settings.config.mediumPing);
    WriteNumber(write, context, u"Version", SETTINGS_VERSION);
    WriteNumber(write, context, u"Sort Order", settings.sortColumn);
    WriteNumber(write, context, u"Show Empty Servers", settings.showEmpty);
    WriteNumber(write, context, u"Show Full Servers", settings.showFull);
    if (settings.hasPlacement) {
        write(context, u"Window Position", STORED_TYPE_BINARY, settings.placement, PLACEMENT_SIZE);
    }
    std::vector<std::u16string> masters;
    for (const MasterEntry& entry : settings.config.masters) {
        masters.push_back(FormatMasterEntry(entry));
    }
    WriteStrings(write, context, u"Master Servers", masters);
    WriteStrings(write, context, u"Favourite Servers", FormatFavourites(settings.favourites));
    if (settings.config.searchLan) {
        write(context, u"Search LAN", STORED_TYPE_NUMBER, nullptr, 0);
    } else {
        WriteNumber(write, context, u"Search LAN", 0);
    }
    WriteUnlessDefault(write, context, u"Refresh Every", settings.config.refreshMinutes, 0);
    WriteUnlessDefault(write, context, u"Keep Running In Notification Area", settings.config.keepInTray, false);
    WriteUnlessDefault(write, context, u"Tell Me When Buddies Play", settings.config.buddyAlerts, false);
    WriteUnlessDefault(write, context, u"Keep Server History", settings.config.keepHistory, true);
    WriteStrings(write, context, u"Watched Servers", FormatFavourites(settings.watched));
}
