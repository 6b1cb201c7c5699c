#include "core/text/text.h"

namespace {

// Appends one code unit if there is room for it and the terminator; the writer remembers whether anything was cut.
struct TextWriter {
    char16_t* dest;
    size_t size;
    size_t length;
    bool cut;

    void Put(char16_t unit) {
        if (length + 1 < size) {
            dest[length++] = unit;
        } else {
            cut = true;
        }
    }
    void PutText(const char16_t* text) {
        for (; *text && !cut; ++text) {
            Put(*text);
        }
    }
    void PutNarrow(const char* text) {
        for (; *text && !cut; ++text) {
            Put(static_cast<unsigned char>(*text));
        }
    }
    void PutUnsigned(unsigned long long value, bool negative) {
        char16_t digits[24];
        int count = 0;
        do {
            digits[count++] = static_cast<char16_t>(u'0' + value % 10);
            value /= 10;
        } while (value != 0);
        if (negative) {
            Put(u'-');
        }
        while (count > 0) {
            Put(digits[--count]);
        }
    }
    bool Finish() {
        if (size > 0) {
            dest[length] = 0;
        }
        return !cut && size > 0;
    }
};

} // namespace

size_t TextLength(const char16_t* text) {
    size_t length = 0;
    while (text[length]) {
        ++length;
    }
    return length;
}

bool TextCopy(char16_t* dest, size_t size, const char16_t* source) {
    TextWriter writer{dest, size, 0, false};
    writer.PutText(source);
    return writer.Finish();
}

bool TextAppend(char16_t* dest, size_t size, const char16_t* source) {
    size_t length = 0;
    while (length < size && dest[length]) {
        ++length;
    }
    if (length == size) {
        // Not terminated within its size: terminate at the last unit, as a cut.
        if (size > 0) {
            dest[size - 1] = 0;
        }
        return false;
    }
    TextWriter writer{dest, size, length, false};
    writer.PutText(source);
    return writer.Finish();
}

bool TextFormatV(char16_t* dest, size_t size, const char16_t* format, va_list args) {
    TextWriter writer{dest, size, 0, false};
    for (const char16_t* p = format; *p && !writer.cut; ++p) {
        if (*p != u'%') {
            writer.Put(*p);
            continue;
        }
        switch (p[1]) {
        case u'd':
        case u'i': {
            long long value = va_arg(args, int);
            bool negative = value < 0;
            writer.PutUnsigned(static_cast<unsigned long long>(negative ? -value : value), negative);
            break;
        }
        case u'u':
            writer.PutUnsigned(va_arg(args, unsigned int), false);
            break;
        case u's': {
            const char16_t* text = va_arg(args, const char16_t*);
            writer.PutText(text ? text : u"(null)");
            break;
        }
        case u'S': {
            const char* text = va_arg(args, const char*);
            writer.PutNarrow(text ? text : "(null)");
            break;
        }
        case u'c':
            writer.Put(static_cast<char16_t>(va_arg(args, int)));
            break;
        case u'%':
            writer.Put(u'%');
            break;
        case 0:
            // A lone '%' at the end is copied as it stands.
            writer.Put(u'%');
            continue;
        default:
            writer.Put(u'%');
            writer.Put(p[1]);
            break;
        }
        ++p;
    }
    return writer.Finish();
}

bool TextFormat(char16_t* dest, size_t size, const char16_t* format, ...) {
    va_list args;
    va_start(args, format);
    bool whole = TextFormatV(dest, size, format, args);
    va_end(args);
    return whole;
}

const char16_t* PluralSuffix(int count) {
    return count == 1 ? u"" : u"s";
}
