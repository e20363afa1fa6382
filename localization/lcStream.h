#pragma once
// The class library's binary component stream ("TPF0") as the translation
// files use it: reading one translation component out of a stream, writing
// one (WriteComponentStream, lcFiles.h), the translation classes a stream may
// name, and the temporary component that a file is read into. Internal to
// the engine's file code (lcFiles.cpp, lcLCBManager.cpp).
//
// The 8-bit strings of a stream hold their texts as its StoreAsUTF8 says:
// UTF-8 when it is set, else Windows-1252, the code page of the program's
// languages.
#include "localization/lcComp.h"

#include "platform/Exception.h"

#include <QObject>

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>

namespace lcStream {

// Little-endian reads from a byte string; reading past its end raises
// Exception "Stream read error".

class TStreamReader {
public:
    TStreamReader(std::string_view data, size_t position) : FData(data), FPos(position)
    {
        if (position > data.size())
            Fail();
    }
    size_t Position() const { return FPos; }
    unsigned char U8()
    {
        Need(1);
        return static_cast<unsigned char>(FData[FPos++]);
    }
    unsigned char Peek()
    {
        Need(1);
        return static_cast<unsigned char>(FData[FPos]);
    }
    unsigned U16()
    {
        const unsigned low = U8();
        return low | (static_cast<unsigned>(U8()) << 8);
    }
    std::uint32_t U32()
    {
        const std::uint32_t low = U16();
        return low | (static_cast<std::uint32_t>(U16()) << 16);
    }
    std::string Bytes(size_t count)
    {
        Need(count);
        std::string result(FData.substr(FPos, count));
        FPos += count;
        return result;
    }
    std::string ShortString() { return Bytes(U8()); }
    [[noreturn]] static void Fail() { throw Exception("Stream read error"); }

private:
    void Need(size_t count) const
    {
        if (count > FData.size() - FPos)
            Fail();
    }
    std::string_view FData;
    size_t FPos;
};

// Reads one component ("TPF0", class, name, properties) at Offset into
// Component; the class and name the stream gives are not taken. A broken
// stream raises Exception.
void ReadComponentStream(TlcCustomLang& component, std::string_view stream, size_t offset);

// The translation classes the engine makes components of (to read a file
// into, to copy one), by class name: TlcLang and TlcLangLinked, and every
// class derived from them that a component of it asked for.
using TComponentFactory = std::function<TlcCustomLang*(QObject* owner)>;
// The maker of components of Model's class, which is registered when it is
// missing; none for a class that derives from neither registered class and
// has no constructor the meta-object can call.
//
// A class registers with its own constructor when the meta-object can call
// one that takes the owner (declared Q_INVOKABLE). Without one, a component
// of its nearest registered ancestor stands in for it: its class type is the
// class's, so it publishes the class's lists (the ancestor's for a class
// without Q_OBJECT, which has its ancestor's meta-object), but the class's
// own overrides do not run in it.
const TComponentFactory* ClassFactory(const TlcCustomLang& model);

// A transient component of the same class as Model in a holder form of its
// own, named after the owner class.
struct TTemporaryComponent {
    std::unique_ptr<QObject> Holder;
    TlcCustomLang* Component = nullptr;
};
// Raises the class library's "Unable to obtain ... class reference" message
// when no component of Model's class can be made.
TTemporaryComponent MakeTemporary(const TlcCustomLang& model, const std::string& ownerClass);

// Little-endian writes.
void PutU16(std::string& out, unsigned value);
void PutU32(std::string& out, std::uint32_t value);

// The 8-bit code page of the languages: Windows-1252, the system's code page
// for German and English, the languages the program ships. The engine knows
// no other, so every language of a file is read and written in it.
//
// Whether every character of the text is one of the code page's.
bool FitsCodePage(std::string_view text);
// A text for an 8-bit file or stream, in the encoding that its flag names.
std::string EightBitText(std::string_view text, bool utf8);
// A text read from an 8-bit file or stream, in the encoding its flag names.
std::string TextOfEightBit(std::string_view bytes, bool utf8);
// Text that carries no flag of its own (the fixed languages in the header of
// an ".LCB" file): written in the 8-bit code page, or in UTF-8 when the code
// page lacks one of its characters. Read back, bytes that are well-formed
// UTF-8 beyond ASCII are taken as UTF-8, any others as the code page's: a
// name in the code page would have to put an accented capital at once before
// a symbol or quote mark to pass for UTF-8.
std::string UnflaggedEightBitText(std::string_view text);
std::string TextOfUnflagged(std::string_view bytes);
// Sets the component's StoreAsUTF8 without re-encoding the stored texts: the
// texts that come with it are already in the form it names.
void StoreUTF8Flag(TlcCustomLang& lang, bool value);
// The kind of the property an extended item sets, as the owner has it now;
// the kind the file names where the owner has no such property.
TTypeKind OwnerPropertyKind(const TlcCustomLang& lang, const std::string& identifier, TTypeKind stored);

inline bool StartsWithExact(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

} // namespace lcStream
