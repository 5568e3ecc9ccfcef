#ifndef STORESESSION_H
#define STORESESSION_H

#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>

class ItemTreeRecorder;
class MeasurementStore;
class Widget;

// Keeps the measurement items of a window in the measurement store of a folder. Made right
// after the window is built and before it is shown, it brings back the items of the last
// session (the readings of the active item follow as soon as the window is on the screen) and
// from then on hands every change of the items to the store. It tells the user once when
// measurements are not being saved, and after a session that ended unexpectedly how many
// readings came back.
class StoreSession : public QObject
{
    Q_OBJECT
public:
    StoreSession(Widget *window, const QString &folder, QObject *parent = nullptr);
    ~StoreSession() override;

    // Hands the store what is still to be written and closes it; at the end of the program,
    // while the window still exists. Nothing is saved afterwards.
    void finish();

    // True once the window has been shown and the active item holds its stored readings.
    bool isSettled() const { return m_settled; }

    MeasurementStore *store() const { return m_store.get(); }
    ItemTreeRecorder *recorder() const { return m_recorder.get(); }

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void restore();
    void shown();
    void tellNotSaving();

    QPointer<Widget> m_window;
    std::unique_ptr<MeasurementStore> m_store;
    std::unique_ptr<ItemTreeRecorder> m_recorder;
    bool m_shown = false;
    bool m_settled = false;
    bool m_toldNotSaving = false;
    bool m_finished = false;
};

#endif // STORESESSION_H
