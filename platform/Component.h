#pragma once
// Components: owner roots, names and published properties.
//
// A window or data module is a tree of QObjects. A form or a data module marks
// itself an owner root; the owner of any other object is the nearest root
// above it. A component's name is its objectName, its class name the bare
// meta-object class name ("TfMainForm"). Published properties are the
// Q_PROPERTYs whose names begin with a capital letter; they are read and
// written through the meta-object only, never by setProperty on a name the
// class does not declare (that would make a dynamic property).
#include <QMetaProperty>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

class QObject;
class TObject;

// The plain event: something happened to Sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Marks (or unmarks) an object as an owner root. The mark goes with the object.
void SetOwnerRoot(QObject* object, bool isRoot = true);
bool IsOwnerRoot(const QObject* object);

// The nearest owner root above the object (not the object itself), or none.
QObject* OwnerOf(const QObject* object);

// The components a root owns, in tree order: every object below it whose
// nearest root is this one (a nested root is owned, its own components are not).
std::vector<QObject*> OwnedComponents(const QObject* root);

// The root's component of that name, compared without regard to case; none
// for an empty name.
QObject* FindComponent(const QObject* root, std::string_view name);

std::string ComponentName(const QObject* object);
std::string ClassNameOf(const QObject* object);

// Kinds of published properties, as the forms' data name them.
enum class TTypeKind {
    tkUnknown, tkInteger, tkChar, tkEnumeration, tkFloat, tkString, tkSet, tkClass, tkMethod,
    tkWChar, tkLString, tkWString, tkVariant, tkArray, tkRecord, tkInterface, tkInt64, tkDynArray
};

// The published properties of an object, in declaration order (base classes first).
std::vector<QMetaProperty> PublishedProperties(const QObject* object);
// The published property of that name (without regard to case); false when
// the class publishes none.
bool FindPublishedProperty(const QObject* object, std::string_view name, QMetaProperty* property);

// The value of a published property of type bool; false when the object has
// no such property (value is then left as it was).
bool ReadBool(const QObject* object, const char* name, bool& value);

TTypeKind PropertyKind(const QMetaProperty& property);
