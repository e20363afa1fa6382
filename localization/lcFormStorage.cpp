#include "localization/lcFormStorage.h"

#include "platform/Exception.h"
#include "platform/MessageWindow.h"
#include "platform/Registry.h"

#include <QEvent>
#include <QWidget>

namespace {
const char* const kRoots[] = {"HKEY_CURRENT_USER", "HKEY_CLASSES_ROOT", "HKEY_LOCAL_MACHINE",
                              "HKEY_USERS",        "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
}

TlcFormStorage::TlcFormStorage(QObject* owner) : QObject(owner)
{
    auto* form = qobject_cast<QWidget*>(owner);
    if (!form || !form->isWindow())
        throw EConvertError("Invalid class typecast");
    FForm = form;
    form->installEventFilter(this);
}

// The component goes with its form: the form's own destructor frees its
// children while its window part (geometry and state) is still there, so the
// placement of a form deleted without closing is saved too.
TlcFormStorage::~TlcFormStorage()
{
    RunWithoutRaising("TlcFormStorage.Destroy", [this] { SavePlacement(); });
}

std::string TlcFormStorage::Key() const
{
    return std::string(kRoots[static_cast<int>(FRoot)]) + "\\" + FSubKey;
}

void TlcFormStorage::Loaded()
{
    RestorePlacement();
}

bool TlcFormStorage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == FForm && event->type() == QEvent::Close) {
        try {
            SavePlacement();
        } catch (const Exception& e) {
            // The form closes all the same; the user learns what was not kept.
            HandleApplicationException(e);
        }
    }
    return QObject::eventFilter(watched, event);
}

void TlcFormStorage::SavePlacement()
{
    if (!FActive || !FForm)
        return;
    const std::string key = Key();
    const Qt::WindowStates state = FForm->windowState();
    const char* text = state & Qt::WindowMinimized ? "Minimized" : state & Qt::WindowMaximized ? "Maximized" : "Normal";
    if (!TRegistry::WriteString(key, "State", text))
        return; // a key that cannot be opened gets nothing
    if (std::string(text) == "Normal") {
        const QRect frame = FForm->geometry();
        TRegistry::WriteInteger(key, "Top", frame.top());
        TRegistry::WriteInteger(key, "Left", frame.left());
        TRegistry::WriteInteger(key, "Height", frame.height());
        TRegistry::WriteInteger(key, "Width", frame.width());
    }
    TRegistry::Flush();
}

void TlcFormStorage::RestorePlacement()
{
    if (!FActive || !FForm)
        return;
    const QRect before = FForm->geometry();
    const Qt::WindowStates stateBefore = FForm->windowState();
    const std::string key = Key();
    if (!TRegistry::KeyExists(key))
        return;
    const auto state = TRegistry::ReadString(key, "State");
    if (!state || state->empty())
        return;
    const auto top = TRegistry::ReadInteger(key, "Top");
    const auto left = TRegistry::ReadInteger(key, "Left");
    const auto height = TRegistry::ReadInteger(key, "Height");
    const auto width = TRegistry::ReadInteger(key, "Width");
    if (!top || !left || !height || !width) {
        // A value missing or not a number: the placement stays as it was.
        FForm->setGeometry(before);
        FForm->setWindowState(stateBefore);
        return;
    }
    QRect frame = FForm->geometry();
    frame.moveTop(*top);
    frame.moveLeft(*left);
    frame.setHeight(*height);
    frame.setWidth(*width);
    FForm->setGeometry(frame);
    if (state->size() >= 3) {
        switch ((*state)[2]) {
        case 'n': FForm->setWindowState(Qt::WindowMinimized); break;
        case 'r': FForm->setWindowState(Qt::WindowNoState); break;
        case 'x': FForm->setWindowState(Qt::WindowMaximized); break;
        default: break;
        }
    }
}
