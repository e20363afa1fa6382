// Put into the shipped program with LD_PRELOAD by the end-to-end tests: every
// window that comes up writes one line to stderr,
//   shown <class> "<title>"
// so that a test outside the process knows what a person would have in
// front of them (a box, the device choice) before it acts.
#include <QCoreApplication>
#include <QEvent>
#include <QWidget>

#include <cstdio>

namespace {

class TWindowWatch : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->isWidgetType()) {
            const auto* widget = static_cast<const QWidget*>(watched);
            if (widget->isWindow()) {
                std::fprintf(stderr, "shown %s \"%s\"\n", widget->metaObject()->className(),
                             widget->windowTitle().toUtf8().constData());
                std::fflush(stderr);
            }
        }
        return false;
    }
};

void InstallWindowWatch()
{
    QCoreApplication::instance()->installEventFilter(new TWindowWatch(QCoreApplication::instance()));
}

} // namespace

Q_COREAPP_STARTUP_FUNCTION(InstallWindowWatch)
