#pragma once
// The reader of binary ".LCB" translation files, and the writer of one for
// tools and tests.
//
// A ".LCB" file: the header text and a zero byte; u16 number of entries; u16
// length and the fixed languages as CR LF separated lines; per entry u16
// length and the owner identifier (the class name of the form that owns the
// component), u32 offset from the file's start; at each offset one
// translation component in the component-stream form ("TPF0").
#include "localization/lcComp.h"

#include <QObject>
#include <QPointer>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

// Reads translation components out of ".LCB" files.
class TLCBFileManager : public QObject {
    Q_OBJECT
public:
    TLCBFileManager();
    ~TLCBFileManager() override;
    const std::string& Header() const { return FHeader; }
    const TlcStringList& FixedLanguages() const { return FFixedLanguages; }
    const TlcStringList& OwnerIdentifiers() const { return FOwnerIdentifiers; }
    // The file this manager reads for its dispatcher.
    const std::string& FileName() const { return FFileName; }
    void SetFileName(std::string value) { FFileName = std::move(value); }
    const std::u16string& FileNameForComments() const { return FFileNameForComments; }
    void SetFileNameForComments(std::u16string value) { FFileNameForComments = std::move(value); }
    int ComponentCount() const { return static_cast<int>(FComponents.size()); }
    TlcCustomLang* Component(int index) const { return FComponents.at(static_cast<size_t>(index)).data(); }
    // Components without an owner are the manager's from then on.
    void AddComponent(TlcCustomLang* component) { FComponents.emplace_back(component); }
    // Copies header, fixed languages, owner identifiers and file name; every
    // component is duplicated through its stream.
    void AssignTo(TLCBFileManager& other) const;

    // Reads the component that the owner identifier names into Component. A
    // stream of another kind raises "Unrecognized stream format!", a broken one
    // Exception; either way the component is left unchanged, as it is when no
    // entry carries the owner identifier.
    void ReadComponent(TlcCustomLang& component, const std::string& ownerIdentifier, std::string_view stream);
    // The same from a file; a file that cannot be read raises Exception.
    void ReadComponentFromFile(TlcCustomLang& component, const std::string& ownerIdentifier,
                               const std::string& fileName);
    // Replaces one list of the component by the file's.
    void ReadList(TStringsType list, const std::string& fileName, const std::string& ownerIdentifier,
                  TlcCustomLang& component);

private:
    std::string FHeader;
    TlcStringList FFixedLanguages;
    TlcStringList FOwnerIdentifiers;
    std::vector<QPointer<TlcCustomLang>> FComponents;
    std::u16string FFileNameForComments;
    std::string FFileName;
};

// A whole ".LCB" file of (owner identifier, component stream) entries.
std::string BuildLCBFile(const TlcStringList& fixedLanguages,
                         const std::vector<std::pair<std::string, std::string>>& entries);
