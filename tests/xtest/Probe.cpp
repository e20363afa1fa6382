// Put into a program with LD_PRELOAD by the tests that drive it through the
// X server: it tells where the program's controls are, so that the test can
// click them, and what a person sees in them. It changes nothing.
//
// Every window that comes up or goes writes a line to stderr:
//   probe shown <class>          probe hidden <class>
// A question on stdin, "<id> <question>", is answered on stderr with
// "probe <id> <answer>":
//   where <name>             x y width height of the visible control of that
//                            object name, on the screen ("none"); a name
//                            <window>/<name> looks only in the window of
//                            that object name (two windows may each have an
//                            "edtSend")
//   item <menu> <name>       the same of an entry of a visible menu bar or menu,
//                            named by its action or its submenu
//   focus                    the active window's class, the focused control's
//                            class and object name ("-" for none)
//   text <name>              the text shown in an edit, a combo box or a label
//   windows                  the classes of the visible windows, in a line
//   holds <keycode>          for each time the key went down, in order: how
//                            many releases of it the X server delivered until
//                            it came up for good (1 for a tap; a held key
//                            repeats as a release and a press with the same
//                            time stamp)
#include <QAbstractNativeEventFilter>
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QSocketNotifier>
#include <QStringList>
#include <QWidget>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include <unistd.h>

namespace {

void Say(const QString& line)
{
    std::fprintf(stderr, "probe %s\n", line.toUtf8().constData());
    std::fflush(stderr);
}

QWidget* Visible(const QString& path)
{
    const QString window = path.contains('/') ? path.section('/', 0, 0) : QString();
    const QString name = path.section('/', -1);
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible() || (!window.isEmpty() && top->objectName() != window))
            continue;
        if (top->objectName() == name)
            return top;
        for (QWidget* w : top->findChildren<QWidget*>(name))
            if (w->isVisible() && (window.isEmpty() || w->window() == top))
                return w;
    }
    return nullptr;
}

QString Rect(QWidget* widget, QRect local)
{
    const QPoint at = widget->mapToGlobal(local.topLeft());
    return QString("%1 %2 %3 %4").arg(at.x()).arg(at.y()).arg(local.width()).arg(local.height());
}

QString Item(const QString& menuName, const QString& name)
{
    QWidget* menu = Visible(menuName);
    if (!menu)
        return "none";
    for (QAction* action : menu->actions()) {
        const bool named = action->objectName() == name || (action->menu() && action->menu()->objectName() == name);
        if (!named)
            continue;
        if (auto* bar = qobject_cast<QMenuBar*>(menu))
            return Rect(bar, bar->actionGeometry(action));
        if (auto* popup = qobject_cast<QMenu*>(menu))
            return Rect(popup, popup->actionGeometry(action));
    }
    return "none";
}

// The key events as the X server delivers them, before the toolkit reads
// them: per key code, the releases of each time the key went down.
class TKeyCount : public QAbstractNativeEventFilter {
public:
    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t" || !message)
            return false;
        // A key event: its kind, the key code, a sequence number, the time stamp.
        const auto* bytes = static_cast<const unsigned char*>(message);
        const int kind = bytes[0] & 0x7F;
        if (kind != 2 && kind != 3) // press, release
            return false;
        const unsigned code = bytes[1];
        std::uint32_t time = 0;
        std::memcpy(&time, bytes + 4, sizeof time);
        TKey& key = FKeys[code];
        if (kind == 3) {
            if (!key.Holds.empty())
                ++key.Holds.back();
            key.LastRelease = time;
            key.Released = true;
        } else {
            const bool repeat = key.Released && time == key.LastRelease && !key.Holds.empty();
            if (!repeat)
                key.Holds.push_back(0); // down anew
            key.Released = false;
        }
        return false;
    }
    QString Holds(unsigned code) const
    {
        QStringList out;
        if (const auto key = FKeys.find(code); key != FKeys.end())
            for (const int releases : key->second.Holds)
                out << QString::number(releases);
        return out.join(' ');
    }

private:
    struct TKey {
        std::vector<int> Holds;
        std::uint32_t LastRelease = 0;
        bool Released = false;
    };
    std::map<unsigned, TKey> FKeys;
};

TKeyCount* gKeys = nullptr;

QString Answer(const QString& question)
{
    const QString what = question.section(' ', 0, 0);
    const QString name = question.section(' ', 1, 1);
    if (what == "where") {
        QWidget* w = Visible(name);
        return w ? Rect(w, w->rect()) : "none";
    }
    if (what == "item")
        return Item(name, question.section(' ', 2, 2));
    if (what == "focus") {
        const QWidget* window = QApplication::activeWindow();
        const QWidget* focus = QApplication::focusWidget();
        return QString("%1 %2 %3")
            .arg(window ? window->metaObject()->className() : "-")
            .arg(focus ? focus->metaObject()->className() : "-")
            .arg(focus && !focus->objectName().isEmpty() ? focus->objectName() : "-");
    }
    if (what == "text") {
        QWidget* w = Visible(name);
        if (auto* edit = qobject_cast<QLineEdit*>(w))
            return edit->text();
        if (auto* combo = qobject_cast<QComboBox*>(w))
            return combo->currentText();
        if (auto* label = qobject_cast<QLabel*>(w))
            return label->text();
        return "none";
    }
    if (what == "holds")
        return gKeys ? gKeys->Holds(name.toUInt()) : QString();
    if (what == "windows") {
        QStringList classes;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible())
                classes << top->metaObject()->className();
        return classes.join(' ');
    }
    return "unknown";
}

class TProbe : public QObject {
public:
    explicit TProbe(QObject* parent) : QObject(parent), FInput(STDIN_FILENO, QSocketNotifier::Read, this)
    {
        connect(&FInput, &QSocketNotifier::activated, this, [this] { Read(); });
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if ((event->type() == QEvent::Show || event->type() == QEvent::Hide) && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            Say(QString("%1 %2").arg(event->type() == QEvent::Show ? "shown" : "hidden",
                                     watched->metaObject()->className()));
        return false;
    }

private:
    void Read()
    {
        char buffer[512];
        const ssize_t n = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (n <= 0) {
            FInput.setEnabled(false); // the test went away
            return;
        }
        FPending.append(buffer, static_cast<std::size_t>(n));
        for (std::size_t end; (end = FPending.find('\n')) != std::string::npos;) {
            const QString line = QString::fromUtf8(FPending.substr(0, end)).trimmed();
            FPending.erase(0, end + 1);
            const QString id = line.section(' ', 0, 0);
            Say(id + " " + Answer(line.section(' ', 1)));
        }
    }

    QSocketNotifier FInput;
    std::string FPending;
};

void InstallProbe()
{
    auto* probe = new TProbe(QCoreApplication::instance());
    QCoreApplication::instance()->installEventFilter(probe);
    static TKeyCount keys;
    gKeys = &keys;
    QCoreApplication::instance()->installNativeEventFilter(gKeys);
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallProbe)
