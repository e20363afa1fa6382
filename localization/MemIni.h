#pragma once
// An INI store that lives in memory: sorted sections of sorted keys, read from
// and rendered to lines. The translation files are parsed into it, edited in
// it and rendered from it. Names and values keep their blanks; section and key
// names match without regard to case.
#include "localization/lcUtils.h"
#include "platform/Object.h"

#include <QDate>
#include <QDateTime>
#include <QTime>

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Typed reads and writes over two string operations.
class TlcCustomIniFile : public TObject {
public:
    explicit TlcCustomIniFile(std::string fileName) : FFileName(std::move(fileName)) {}
    ~TlcCustomIniFile() override = default;
    const std::string& FileName() const { return FFileName; }

    virtual std::string ReadValue(const std::string& section, const std::string& key, const std::string& def) = 0;
    virtual void WriteValue(const std::string& section, const std::string& key, const std::string& value) = 0;
    // Decimal, or hexadecimal after "$", "0x" or "0X"; the default for a text
    // that is no 32-bit number.
    virtual int ReadNumber(const std::string& section, const std::string& key, int def);
    virtual void WriteNumber(const std::string& section, const std::string& key, int value);
    virtual bool ReadFlag(const std::string& section, const std::string& key, bool def);
    virtual void WriteFlag(const std::string& section, const std::string& key, bool value);
    // In the program's date, time and number formats; an empty value, or one
    // that does not convert, gives the default.
    virtual QDate ReadDateValue(const std::string& section, const std::string& key, const QDate& def);
    virtual QDateTime ReadDateTimeValue(const std::string& section, const std::string& key, const QDateTime& def);
    virtual long double ReadFloatValue(const std::string& section, const std::string& key, long double def);
    virtual QTime ReadTimeValue(const std::string& section, const std::string& key, const QTime& def);
    virtual void WriteDateValue(const std::string& section, const std::string& key, const QDate& value);
    virtual void WriteDateTimeValue(const std::string& section, const std::string& key, const QDateTime& value);
    virtual void WriteFloatValue(const std::string& section, const std::string& key, long double value);
    virtual void WriteTimeValue(const std::string& section, const std::string& key, const QTime& value);
    virtual void ListKeys(const std::string& section, TlcStringList& list) = 0;
    virtual void ListSections(TlcStringList& list) = 0;
    virtual void ListValues(const std::string& section, TlcStringList& list) = 0;
    virtual void RemoveSection(const std::string& section) = 0;
    virtual void RemoveKey(const std::string& section, const std::string& key) = 0;
    virtual void Flush() = 0;

    // A section without keys counts as absent.
    bool HasSection(const std::string& section);

private:
    std::string FFileName;
};

class TMemIniValue : public TObject {
public:
    explicit TMemIniValue(std::string value) : Value(std::move(value)) {}
    std::string Value;
};

// The keys of one section, sorted without regard to case; a name may repeat
// (the copies keep the order in which they were added).
class TMemIniEntry : public TObject {
public:
    int KeyCount() const { return static_cast<int>(FKeys.size()); }
    const std::string& KeyName(int index) const { return FKeys.at(static_cast<size_t>(index)).first; }
    const std::string& KeyValue(int index) const { return FKeys.at(static_cast<size_t>(index)).second->Value; }
    std::string KeyLine(int index) const { return KeyName(index) + "=" + KeyValue(index); }
    void AddKey(std::string name, std::string value);
    // Name before the first "=", value after it; no "=": all name.
    void AddLine(std::string_view line);
    // The first key of that name.
    bool FindKey(std::string_view name, int& index) const;
    void RemoveAt(int index);
    void ClearKeys() { FKeys.clear(); }
    // Clears the keys and adds each line with AddLine.
    void Assign(const TlcStringList& lines);
    void Assign(const TMemIniEntry& other);

private:
    std::vector<std::pair<std::string, std::unique_ptr<TMemIniValue>>> FKeys;
};

class TlcMemIniFile : public TlcCustomIniFile {
public:
    // Reads the file when the name is not empty and the file exists; raises
    // Exception when it exists but cannot be read.
    explicit TlcMemIniFile(const std::string& fileName = std::string());
    ~TlcMemIniFile() override;

    std::string ReadValue(const std::string& section, const std::string& key, const std::string& def) override;
    void WriteValue(const std::string& section, const std::string& key, const std::string& value) override;
    void ListKeys(const std::string& section, TlcStringList& list) override;
    void ListSections(TlcStringList& list) override;
    void ListValues(const std::string& section, TlcStringList& list) override;
    void RemoveSection(const std::string& section) override;
    void RemoveKey(const std::string& section, const std::string& key) override;
    // Writes the rendered lines, each ended by CR LF, in place of the file.
    // The file is replaced whole or not at all; a failure raises Exception.
    void Flush() override;

    void LoadFromLines(const TlcStringList& lines);
    void SaveToLines(TlcStringList& lines) const;
    // The lines of the bytes from the position on.
    void ReadFromStream(std::string_view bytes, size_t position = 0);
    void ClearAll() { FSections.clear(); }
    // The section of that name, made when there is none.
    TMemIniEntry& NewSection(const std::string& name);
    TMemIniEntry* FindSection(std::string_view name) const;
    bool Modified() const { return FModified; }

private:
    bool FindSectionIndex(std::string_view name, int& index) const;
    std::vector<std::pair<std::string, std::unique_ptr<TMemIniEntry>>> FSections;
    bool FModified = false;
};

// Field n (0-based) of a 16-bit text: the text between the n-th delimiter (the
// start for n = 0) and the next one; empty when no delimiter follows it.
std::u16string ExtractFieldW(std::u16string_view text, char16_t delimiter, int n);

// Reads a file's bytes whole; raises with the file's name.
std::string ReadFileWhole(const std::string& fileName);
