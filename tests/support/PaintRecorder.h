#pragma once

#include <vector>

#include <QtGui/QPaintDevice>
#include <QtGui/QPaintEngine>

namespace tavlin::test {

// A paint device that keeps each text drawn on it, with its pen's colour and its start, instead
// of pixels: what a widget writes, whatever fonts the machine has.
class PaintRecorder final : public QPaintDevice, private QPaintEngine {
public:
    struct Text {
        QString text;
        QColor color;
        QPointF at;
    };
    explicit PaintRecorder(QSize size) : QPaintEngine(AllFeatures), size_(size) {}
    std::vector<Text> texts;
    QPaintEngine* paintEngine() const override { return const_cast<PaintRecorder*>(this); }
    QString textIn(const QRect& rect) const { // of the texts whose baseline starts there
        QString all;
        for (const Text& text : texts) all += rect.contains(text.at.toPoint() - QPoint(0, 2)) ? text.text : QString();
        return all;
    }

private:
    int metric(PaintDeviceMetric metric) const override {
        if (metric == PdmWidth || metric == PdmHeight) return metric == PdmWidth ? size_.width() : size_.height();
        return metric == PdmDevicePixelRatioScaled ? int(devicePixelRatioFScale()) : metric == PdmDevicePixelRatio ? 1 : 96;
    }
    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }
    void updateState(const QPaintEngineState& state) override {
        if (state.state() & DirtyPen) color_ = state.pen().color();
        if (state.state() & DirtyTransform) transform_ = state.transform();
    }
    void drawTextItem(const QPointF& at, const QTextItem& item) override {
        texts.push_back({item.text(), color_, transform_.map(at)});
    }
    void drawPixmap(const QRectF&, const QPixmap&, const QRectF&) override {}
    void drawPath(const QPainterPath&) override {}
    void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}

    QSize size_;
    QColor color_;
    QTransform transform_;
};

} // namespace tavlin::test
