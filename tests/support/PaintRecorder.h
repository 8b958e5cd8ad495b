#pragma once

#include <vector>

#include <QtGui/QPaintDevice>
#include <QtGui/QPaintEngine>
#include <QtGui/QPen>
#include <QtGui/QTransform>

namespace tavlin::test {

// A paint device that keeps what is drawn on it instead of pixels: each piece of text with its
// pen's colour and where it starts, and where each pixmap (an icon) goes. What a widget draws
// can be read so whatever fonts the machine has.
class PaintRecorder final : public QPaintDevice {
public:
    struct Text {
        QString text;
        QColor color;
        QPointF at; // in the device's coordinates
    };

    explicit PaintRecorder(QSize size) : size_(size), engine_(*this) {}
    ~PaintRecorder() override = default;

    std::vector<Text> texts;
    std::vector<QRectF> pixmaps; // in the device's coordinates

    QPaintEngine* paintEngine() const override { return &engine_; }

protected:
    int metric(PaintDeviceMetric metric) const override {
        switch (metric) {
        case PdmWidth: return size_.width();
        case PdmHeight: return size_.height();
        case PdmDpiX:
        case PdmDpiY:
        case PdmPhysicalDpiX:
        case PdmPhysicalDpiY: return 96;
        case PdmDepth: return 32;
        case PdmNumColors: return 0x7fffffff;
        case PdmDevicePixelRatio: return 1;
        case PdmDevicePixelRatioScaled: return static_cast<int>(devicePixelRatioFScale());
        default: return QPaintDevice::metric(metric);
        }
    }

private:
    class Engine final : public QPaintEngine {
    public:
        explicit Engine(PaintRecorder& owner) : QPaintEngine(AllFeatures), owner_(owner) {}
        bool begin(QPaintDevice*) override { return true; }
        bool end() override { return true; }
        Type type() const override { return User; }
        void updateState(const QPaintEngineState& state) override {
            if (state.state() & DirtyPen) pen_ = state.pen();
            if (state.state() & DirtyTransform) transform_ = state.transform();
        }
        void drawPixmap(const QRectF& rect, const QPixmap&, const QRectF&) override {
            owner_.pixmaps.push_back(transform_.mapRect(rect));
        }
        void drawTextItem(const QPointF& at, const QTextItem& item) override {
            owner_.texts.push_back({item.text(), pen_.color(), transform_.map(at)});
        }
        void drawPolygon(const QPointF*, int, PolygonDrawMode) override {}
        void drawPath(const QPainterPath&) override {}

    private:
        PaintRecorder& owner_;
        QPen pen_;
        QTransform transform_;
    };

    QSize size_;
    mutable Engine engine_;
};

} // namespace tavlin::test
