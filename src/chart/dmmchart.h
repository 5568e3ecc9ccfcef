#ifndef DMMCHART_H
#define DMMCHART_H

#include "chartline.h"
#include "chartpoint.h"
#include "chartscale.h"

#include <QColor>
#include <QElapsedTimer>
#include <QFrame>
#include <QList>
#include <QMutex>
#include <QPixmap>
#include <QRect>
#include <QString>
#include <QVector>

class ChartCurve;
class QPainter;
class QTimer;

// Plots one quantity over the sequence of its samples: the value axis auto-scales around
// zero, the sample axis is labelled with the samples' time stamps, dragging a rectangle
// right and down zooms into a stretch of samples, and the sample nearest the mouse is read
// out for 3 seconds.
//
// Painting goes through four cached layers (background with axes, curve, zoom rectangle,
// cursor read-out), so that moving the mouse or dragging only copies pictures. Rebuilding
// the axes and curve costs about the same for a thousand samples as for millions: ranges
// and per-column extremes come from each series' value pyramid, not from walking samples.
// Added samples are drawn at most RebuildIntervalMs after they arrive but never rebuild the
// picture more often than that, however fast they come; anything else (the cursor, a drag,
// a resize, new series) repaints at once.
//
// Behaviour chosen where the design leaves it open:
// - Clearing the points ends a zoom: the points that follow are another data set and are
//   shown whole. (A zoom whose range lies past the end of the series is cancelled anyway.)
// - A move that stays on the sample read out keeps the read-out for another 3 seconds; a
//   move onto a sample after the read-out has vanished shows it again.
// - decimals defaults to 1.
// - A press and release without a drag of at least the platform's start-drag distance is a
//   plain click: it hides the read-out and leaves the zoom as it is. Only a real drag zooms
//   (right and down) or cancels the zoom (up or left); a click never reuses the rectangle
//   of an earlier drag.
// - Samples whose value is not finite are not drawn and do not count for the scale; the
//   curve joins the finite samples either side of them.
//
// Beyond that, the value axis can be fitted to the data (setFitToData) instead of including
// zero, alarm limits can be drawn as dashed lines across the plot (setLimits; only where
// they fall inside the value range, which they never widen), and the time labels skip
// divisions where the labels would otherwise touch: the grid keeps every division.
class DMMChart : public QFrame
{
    Q_OBJECT
public:
    explicit DMMChart(QWidget *parent = nullptr);
    ~DMMChart() override;

    // Takes ownership of the point(s). Repaints unless a zoom is shown or being dragged.
    void addPoint(ChartPoint *point, int line);
    void addPoints(const QList<ChartPoint *> &points, int line);
    // Adds a sample for a value in the series' stored unit (ChartSeries::append), a point of
    // the series' own pool. Same repaint rule.
    void addSample(const QDateTime &time, double value, int line);
    // Exchanges the samples of series `line` with `series` (constant time) and repaints: a
    // view shows a kept data set again, and takes the shown one back, without rebuilding.
    // Like clearPoints(), it ends a zoom and keeps the cursor.
    void swapSeries(ChartSeries &series, int line);
    // Deletes every point and ends a zoom; the cursor is kept.
    void clearPoints();
    // Writes the chart as last painted, without the frame; false before the first paint.
    bool savePicture(const QString &fileName);
    // The chart as last painted, without the frame (what savePicture() writes); null before
    // the first paint.
    QPixmap picture() const { return outputLayer; }
    void setXTitle(const QString &title);
    // Takes effect at the next resize.
    void setMarginLeft(int px);
    void setMarginBottom(int px);
    void setDecimals(int digits);
    // The value axis spans the visible data with a tenth of their spread as headroom, rather
    // than always including zero (the default).
    void setFitToData(bool fit);
    bool fitsToData() const { return fitToData; }
    // Dashed lines at a low and a high limit, in the unit the values are shown in.
    void setLimits(double low, double high);
    void clearLimits();
    bool hasLimits() const { return limitsShown; }
    double lowLimit() const { return limitLow; }
    double highLimit() const { return limitHigh; }

    // Read-only state, for the views and tests.
    int lineCount() const { return lines.size(); }
    const ChartLine *line(int index) const;
    const ChartScale &chartScale() const { return scale; }
    QRect plotArea() const { return plotRect; }
    bool isZoomed() const { return zoomed; }
    int visibleFirst() const { return first; }
    int visibleLast() const { return last; }
    int cursorSample() const { return cursorIndex; }
    bool isIndicatorVisible() const { return indicatorVisible; }
    int decimalDigits() const { return decimals; }
    QString xAxisTitle() const { return xTitle; }
    // Where the time labels were drawn at the last rebuild, left to right.
    QVector<QRect> timeLabelRects() const { return xLabelRects; }
    // The pixel rows of the limit lines drawn at the last rebuild, low first when both show.
    QVector<int> limitRows() const { return limitLineRows; }

    // Shortest time between two rebuilds caused by added samples.
    static constexpr int RebuildIntervalMs = 50;

public slots:
    void slotTmrIndicatorTimeout();

protected:
    void mousePressEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

    // Sets line->min and line->max from the samples from..to (inclusive, within the series;
    // from > to when none is visible).
    virtual void measureLine(ChartLine *line, int from, int to);
    // Draws count samples of line, starting at sample from, with the curve's vertices. The
    // painter's pen is already the line's.
    virtual void drawCurve(QPainter &painter, const ChartLine &line, int from, int count,
                           const ChartCurve &curve);

private:
    bool hasSamples() const;
    // Samples were added: rebuild at the next allowed moment.
    void samplesAdded();
    int visibleCount(const ChartLine *line) const;
    void rebuildScale();
    void drawAxes(QPainter &painter);
    void drawTimeLabels(QPainter &painter, const QVector<int> &xs, int bottom);
    void drawLimits(QPainter &painter);
    // The pixel row of value v in the current scale (the curve's rounding).
    int valueRow(double v) const;
    void drawCurves(QPainter &painter);
    void drawSelection(QPainter &painter);
    void drawIndicator(QPainter &painter);
    int sampleUnderMouse(int mouseX) const;
    QPoint toPlot(const QPoint &pos) const;
    void applyZoom();

    int marginLeft = 60;
    int marginRight = 20;
    int marginTop = 40;
    int marginBottom = 40;
    QRect plotRect;
    QList<ChartLine *> lines; // owned through the parent tree
    QPixmap backgroundLayer;
    QPixmap curveLayer;
    QPixmap outputLayer;
    QPixmap selectionLayer;
    QTimer *indicatorTimer = nullptr;
    QTimer *rebuildTimer = nullptr; // single shot: the next allowed rebuild for new samples
    QElapsedTimer lastRebuild;
    bool axesDirty = true;
    bool indicatorDirty = false;
    bool selectionDirty = false;
    QColor backgroundColor = Qt::white;
    ChartScale scale; // yMin, yMax, xScale, yScale and the divisions
    bool indicatorVisible = false;
    int cursorIndex = -1;
    bool selecting = false;
    bool zoomed = false;
    int first = 0;
    int last = 0;
    int selX1 = 0;
    int selY1 = 0;
    int selX2 = 0;
    int selY2 = 0;
    QMutex mutex;
    QColor indicatorColor = QColor(0, 100, 250);
    QString xTitle;
    int decimals = 1;
    bool dragged = false; // the pressed mouse left the start-drag distance
    bool fitToData = false;
    bool limitsShown = false;
    double limitLow = 0.0;
    double limitHigh = 0.0;
    QVector<QRect> xLabelRects;
    QVector<int> limitLineRows;
};

#endif // DMMCHART_H
