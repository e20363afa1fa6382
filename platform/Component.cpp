#include "platform/Component.h"

#include <QByteArray>
#include <QFont>
#include <QMetaObject>
#include <QObject>
#include <QString>

#include <mutex>
#include <unordered_set>

namespace {
std::mutex gRootLock;
std::unordered_set<const QObject*> gRoots;

bool EqualText(std::string_view a, std::string_view b)
{
    return QString::fromUtf8(a.data(), static_cast<qsizetype>(a.size()))
               .compare(QString::fromUtf8(b.data(), static_cast<qsizetype>(b.size())), Qt::CaseInsensitive)
        == 0;
}

void CollectOwned(const QObject* object, std::vector<QObject*>& out)
{
    for (QObject* child : object->children()) {
        out.push_back(child);
        if (!IsOwnerRoot(child))
            CollectOwned(child, out);
    }
}
} // namespace

void SetOwnerRoot(QObject* object, bool isRoot)
{
    if (!object)
        return;
    std::lock_guard lock(gRootLock);
    if (!isRoot) {
        gRoots.erase(object);
        return;
    }
    if (gRoots.insert(object).second) {
        QObject::connect(object, &QObject::destroyed, [](QObject* gone) {
            std::lock_guard inner(gRootLock);
            gRoots.erase(gone);
        });
    }
}

bool IsOwnerRoot(const QObject* object)
{
    std::lock_guard lock(gRootLock);
    return object && gRoots.count(object) != 0;
}

QObject* OwnerOf(const QObject* object)
{
    for (QObject* up = object ? object->parent() : nullptr; up; up = up->parent())
        if (IsOwnerRoot(up))
            return up;
    return nullptr;
}

std::vector<QObject*> OwnedComponents(const QObject* root)
{
    std::vector<QObject*> out;
    if (root)
        CollectOwned(root, out);
    return out;
}

QObject* FindComponent(const QObject* root, std::string_view name)
{
    if (!root || name.empty())
        return nullptr;
    for (QObject* component : OwnedComponents(root))
        if (EqualText(ComponentName(component), name))
            return component;
    return nullptr;
}

std::string ComponentName(const QObject* object)
{
    return object ? object->objectName().toStdString() : std::string();
}

std::string ClassNameOf(const QObject* object)
{
    return object ? std::string(object->metaObject()->className()) : std::string();
}

std::vector<QMetaProperty> PublishedProperties(const QObject* object)
{
    std::vector<QMetaProperty> out;
    if (!object)
        return out;
    const QMetaObject* meta = object->metaObject();
    for (int i = 0; i < meta->propertyCount(); ++i) {
        QMetaProperty property = meta->property(i);
        const char* name = property.name();
        if (name && *name >= 'A' && *name <= 'Z')
            out.push_back(property);
    }
    return out;
}

bool FindPublishedProperty(const QObject* object, std::string_view name, QMetaProperty* property)
{
    for (const QMetaProperty& candidate : PublishedProperties(object)) {
        if (EqualText(candidate.name(), name)) {
            if (property)
                *property = candidate;
            return true;
        }
    }
    return false;
}

TTypeKind PropertyKind(const QMetaProperty& property)
{
    if (property.isFlagType())
        return TTypeKind::tkSet;
    if (property.isEnumType())
        return TTypeKind::tkEnumeration;
    const QMetaType type = property.metaType();
    if (type.flags() & QMetaType::IsEnumeration)
        return TTypeKind::tkEnumeration;
    if (type.flags() & QMetaType::PointerToQObject)
        return TTypeKind::tkClass;
    switch (type.id()) {
    case QMetaType::Bool:
        return TTypeKind::tkEnumeration;
    case QMetaType::Int:
    case QMetaType::UInt:
    case QMetaType::Short:
    case QMetaType::UShort:
    case QMetaType::UChar:
    case QMetaType::SChar:
        return TTypeKind::tkInteger;
    case QMetaType::LongLong:
    case QMetaType::ULongLong:
    case QMetaType::Long:
    case QMetaType::ULong:
        return TTypeKind::tkInt64;
    case QMetaType::Double:
    case QMetaType::Float:
        return TTypeKind::tkFloat;
    case QMetaType::Char:
        return TTypeKind::tkChar;
    case QMetaType::QChar:
    case QMetaType::Char16:
        return TTypeKind::tkWChar;
    case QMetaType::QString:
        return TTypeKind::tkWString;
    case QMetaType::QByteArray:
        return TTypeKind::tkLString;
    case QMetaType::QFont:
        return TTypeKind::tkClass;
    default:
        break;
    }
    if (type == QMetaType::fromType<std::string>())
        return TTypeKind::tkLString;
    if (type.flags() & QMetaType::IsPointer)
        return TTypeKind::tkClass;
    return TTypeKind::tkUnknown;
}

bool ReadBool(const QObject* object, const char* name, bool& value)
{
    QMetaProperty property;
    if (!FindPublishedProperty(object, name, &property) || property.metaType().id() != QMetaType::Bool)
        return false;
    value = property.read(object).toBool();
    return true;
}
