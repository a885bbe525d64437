// Plays a word file through the real sound service, ends the application and
// returns from main, as the program does. ./test.sh runs it under valgrind
// (testing/valgrind-check.sh), which sees what the sanitizers cannot: Qt's own
// libraries reading or writing memory that Qt has already freed, when a Qt
// object outlives the application. It also schedules objects for deletion where
// the program's last steps do (after the event loop has ended, and while the
// application ends) and exits with 1 when any of them is still there once the
// application has gone.
#include <QApplication>
#include <QFileInfo>
#include <QTimer>
#include <cstdio>
#include <vector>

#include "platform/os/Media.h"

namespace {

struct Scheduled {
    const char* when;
    bool deleted = false;
};

void scheduleDeletion(Scheduled& s) {
    auto* object = new QObject;
    QObject::connect(object, &QObject::destroyed, [&s] { s.deleted = true; });
    object->deleteLater();
}

Scheduled* atTheEnd = nullptr;
void scheduleAtTheEnd() {
    scheduleDeletion(*atTheEnd);
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2 || !QFileInfo::exists(QString::fromLocal8Bit(argv[1]))) {
        std::fprintf(stderr, "usage: application_end_check WORD.wav\n");
        return 2;
    }
    const QString word = QString::fromLocal8Bit(argv[1]);
    std::vector<Scheduled> scheduled = {{"after the event loop"}, {"as the application ends"}};
    {
        QApplication app(argc, argv);
        QTimer::singleShot(0, [&word] {
            auto& sound = zelmora::platform::SoundService::instance();
            // Waited for, as the countdown's words are.
            sound.play(word, true);
            // With no audio output the wait ends at once: the session goes on
            // until Qt Multimedia has read the sound.
            auto* qt = dynamic_cast<zelmora::platform::QtSoundService*>(&sound);
            auto* poll = new QTimer(qApp);
            QObject::connect(poll, &QTimer::timeout, [qt] {
                if (!qt || !qt->loading()) QCoreApplication::quit();
            });
            poll->start(50);
        });
        QApplication::exec();
        scheduleDeletion(scheduled[0]);
        atTheEnd = &scheduled[1];
        qAddPostRoutine(scheduleAtTheEnd);
    }
    int result = 0;
    for (const Scheduled& s : scheduled) {
        if (s.deleted) continue;
        std::fprintf(stderr, "an object scheduled for deletion %s was never deleted\n", s.when);
        result = 1;
    }
    return result;
}
