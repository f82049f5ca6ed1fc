#pragma once

#include "mascot/FrameRegions.h"
#include "mascot/ScreenRule.h"

#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <QWidget>

class QCheckBox;
class QPushButton;

// The message the meow handler shows for a sound routine's result other than 0.
QString MeowErrorMessage(qint32 result);

// The mascot window: a borderless, always-on-top window cut to the kitten's outline. It lives
// for the whole run; its load prepares everything the rest of the program relies on.
class Form1 : public QWidget
{
    Q_OBJECT
public:
    // The one mascot window of the process (created by main, or by a test).
    static Form1* Create();
    static Form1* Instance();
    ~Form1() override;

    // The start-up sequence; runs once, before the window first becomes visible.
    void Load();
    // Stops all sound, releases the mail library and ends the process at once.
    void Unload();

    // Another start of the program asked for the kitten: it moves its top-left corner to the
    // pointer, as at start-up, and comes to the top.
    void ComeForward();

    // The sound test button's handler: the one routine that plays the meow. A failure is shown
    // in a box; while the kitten meows on every tick (MeowFlag is 1) only once per spell.
    void Command2_Click();
    // One tick of the behaviour timer.
    void Timer1_Timer();

    // Window position and size in twips, as the program's rules are written.
    double Left() const;
    double Top() const;
    double Width() const;
    double Height() const;
    void SetLeft(double twips);
    void SetTop(double twips);

    // Shows frame picture f (0..9, -1 for the resting picture) and, for frames 0..7, applies
    // its stored shape.
    void ShowFrame(int f);
    void ShowPictureOnly(int f);
    int CurrentPicture() const { return m_picture; }

    qint16 kiHenkou = 0;
    float TwipsPerPixelX = 15;
    float TwipsPerPixelY = 15;

    // Sound options and the sound test button; they lie outside the visible 100 x 100 area.
    QCheckBox* ChkSynchro = nullptr; // owned by this window
    QCheckBox* ChkLoop = nullptr;    // owned by this window
    QCheckBox* ChkOnMem = nullptr;   // owned by this window
    QPushButton* Command2 = nullptr; // owned by this window
    QTimer Timer1;

    FrameRegionArray FrameRegions{};
    RegionTransform Transform;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    Form1();
    void ApplyShape(int f);
    // Frame f's shape in device pixels, at a device pixel ratio above 1 on X11; false leaves
    // the shape to ApplyShape's stored slots.
    bool ApplyDeviceShape(int f);
    // The desktop's screens in twips, and which of them is the primary one.
    std::vector<ScreenArea> ScreenAreas() const;
    static std::size_t PrimaryScreenIndex();
    // Puts the window's top-left corner on the mouse pointer.
    void MoveToPointer();
    // The load's steps that reach the dialogs (the hang-up box, the first-run dialogs).
    void LoadDialogs();

    // The frame shapes cut from the pictures at device resolution, for the ratio they were
    // built at (0 before the first).
    std::array<QRegion, 8> m_deviceShapes;
    qreal m_deviceShapesRatio = 0;

    int m_picture = -1;
    bool m_dialogsPending = false; // the load's dialog steps have yet to run
    bool m_inTick = false;
    // The sound result last met during the current meowing spell (0 outside one): a failure is
    // shown once per spell, again only when the result changes.
    qint32 m_spellSoundResult = 0;

    // Dragging: the system move starts once the pointer has travelled past the drag distance
    // with the button held, so that a double-click still reaches the window. Where the window
    // manager offers no move, the window follows the pointer itself.
    bool m_pressed = false;
    bool m_manualDrag = false;
    QPoint m_pressGlobal;
    QPoint m_pressWindowPos;
};
