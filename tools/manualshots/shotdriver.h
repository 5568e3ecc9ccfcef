#ifndef SHOTDRIVER_H
#define SHOTDRIVER_H

#include <QDir>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>

#include <functional>

class QAction;
class QWidget;
class Widget;

// Drives the main window on the simulated meter the way a user would (tool-bar commands,
// clicks, drags, typing into dialogs) and saves the pictures the user manual shows. Each
// scene is independent: one that fails is reported and the next one still runs.
class ShotDriver : public QObject
{
    Q_OBJECT
public:
    explicit ShotDriver(Widget *window, QObject *parent = nullptr);

    // Runs every scene, saving the pictures into outputDir; returns the number of scenes
    // that failed.
    int run(const QString &outputDir);

private:
    using Handler = std::function<void(QWidget *)>;
    // A dialog of the given class is expected next, and the handler answers it.
    struct Expected
    {
        const char *className;
        Handler handler;
    };

    // Scenes, in the order a user would meet them.
    bool sceneOptions();
    bool sceneLiveMeasurement();
    bool sceneItemMenu();
    bool sceneNewItem();
    bool sceneCharts();
    bool sceneSettings();
    bool sceneChartExtras();
    // Writes new temperature limits through the settings dialog, as a user would; the
    // limits shown before are returned through oldLow and oldHigh.
    bool writeTemperatureLimits(double low, double high, double *oldLow, double *oldHigh);
    bool sceneDownload();
    bool sceneExport();
    bool sceneCsvExport();

    QAction *action(const char *name) const;
    QWidget *child(const char *name) const;
    bool trigger(const char *name);
    bool save(QWidget *widget, const QString &name);
    // The handlers answer the modal dialogs that appear next, one handler per dialog, in
    // order; a dialog the handler leaves open is rejected, and a dialog nobody expected is
    // closed after a while, so that a scene cannot hang.
    void expectModals(const QList<Expected> &handlers);
    bool modalsDone() const { return m_handlers.isEmpty(); }
    void pollModal();
    void fail(const QString &why);

    static void click(QWidget *widget, const QPoint &pos);
    static void drag(QWidget *widget, const QPoint &from, const QPoint &to, bool release);
    static void hover(QWidget *widget, const QPoint &pos);

    Widget *m_window;
    QDir m_out;
    QTimer m_modalPoll;
    QList<Expected> m_handlers;
    QPointer<QWidget> m_handled;
    QPointer<QWidget> m_unexpected;
    QElapsedTimer m_unexpectedSince;
    QStringList m_failures;
    QString m_scene;
};

#endif // SHOTDRIVER_H
