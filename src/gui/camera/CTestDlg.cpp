#include "gui/camera/CTestDlg.h"

#include "core/support/Bmp.h"
#include "gui/app/Messages.h"

#include <QCamera>
#include <QCameraDevice>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>
#include <QVideoFrame>

namespace selvo::gui {

// The preview area: the latest frame scaled into the area.
class CameraPreview final : public QWidget {
public:
    explicit CameraPreview(QWidget* parent) : QWidget(parent) {
        setMinimumSize(320, 240);
        setAccessibleName(QStringLiteral("预览"));
    }
    void show(const QImage& frame) {
        m_frame = frame;
        update();
    }

protected:
    void paintEvent(QPaintEvent*) override {
        QPainter p(this);
        p.fillRect(rect(), Qt::black);
        if (!m_frame.isNull())
            p.drawImage(rect(), m_frame);
    }

private:
    QImage m_frame;
};

CTestDlg::CTestDlg(const QString& photoFile, QWidget* parent)
    : QDialog(parent), m_photoFile(photoFile), m_preview(new CameraPreview(this)),
      m_devices(new QComboBox(this)), m_capture(new QPushButton(QStringLiteral("拍照(&C)"), this)),
      m_open(new QPushButton(QStringLiteral("开启(&O)"), this)),
      m_exit(new QPushButton(QStringLiteral("退出(&E)"), this)) {
    setWindowTitle(QStringLiteral("test"));
    setAccessibleName(windowTitle());
    m_devices->setAccessibleName(QStringLiteral("选择视频设备："));
    m_capture->setAccessibleName(QStringLiteral("拍照(&C)"));
    m_open->setAccessibleName(QStringLiteral("开启(&O)"));
    m_exit->setAccessibleName(QStringLiteral("退出(&E)"));

    auto* controls = new QHBoxLayout;
    controls->addWidget(new QLabel(QStringLiteral("选择视频设备："), this));
    controls->addWidget(m_devices, 1);
    controls->addWidget(m_capture);
    controls->addWidget(m_open);
    controls->addWidget(m_exit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_preview, 1);
    layout->addLayout(controls);

    for (const QCameraDevice& device : QMediaDevices::videoInputs())
        m_devices->addItem(device.description(), device.id());
    if (m_devices->count() > 0)
        m_devices->setCurrentIndex(0);

    m_session.setVideoSink(&m_sink);
    connect(&m_sink, &QVideoSink::videoFrameChanged, this, &CTestDlg::frameArrived);
    connect(m_capture, &QPushButton::clicked, this, &CTestDlg::takePhoto);
    connect(m_open, &QPushButton::clicked, this, &CTestDlg::startCamera);
    connect(m_exit, &QPushButton::clicked, this, &QDialog::reject);
    m_checkTimer.setInterval(kCheckMs);
    connect(&m_checkTimer, &QTimer::timeout, this, &CTestDlg::checkFile);

    startCamera();
}

CTestDlg::~CTestDlg() {
    if (m_camera)
        m_camera->stop();
}

void CTestDlg::startCamera() {
    const QList<QCameraDevice> devices = QMediaDevices::videoInputs();
    const QByteArray id = m_devices->currentData().toByteArray();
    for (const QCameraDevice& device : devices) {
        if (device.id() != id)
            continue;
        m_camera = std::make_unique<QCamera>(device);
        connect(m_camera.get(), &QCamera::errorOccurred, this, [this](QCamera::Error, const QString& text) {
            Messages::warn(this, QStringLiteral("无法开启视频设备"), text);
        });
        m_session.setCamera(m_camera.get());
        m_camera->start();
        break;
    }
    m_open->setEnabled(false);
}

void CTestDlg::takePhoto() {
    if (m_devices->count() == 0 || m_checkTimer.isActive())
        return;
    QFile::remove(m_photoFile);
    m_armed = true;
    m_capture->setEnabled(false);
    // The frame arrives on the event loop, so the wait is a timer, not a sleep.
    m_checksLeft = kChecks;
    m_checkTimer.start();
}

void CTestDlg::checkFile() {
    if (QFile::exists(m_photoFile)) {
        m_checkTimer.stop();
        accept();
        return;
    }
    if (--m_checksLeft > 0)
        return;
    m_checkTimer.stop();
    m_armed = false;
    Messages::warn(this, QStringLiteral("拍照失败，请重试"));
    accept();
}

void CTestDlg::frameArrived(const QVideoFrame& frame) {
    if (!frame.isValid())
        return;
    deliverFrame(frame.toImage());
}

void CTestDlg::deliverFrame(const QImage& frame) {
    if (frame.isNull())
        return;
    m_preview->show(frame);
    if (!m_armed)
        return;
    const QImage rgb = frame.convertToFormat(QImage::Format_RGB32);
    const BmpFrame bmp = FrameFromXrgb32(rgb.constBits(), rgb.width(), rgb.height(), rgb.bytesPerLine());
    // One frame per press: the flag goes whether or not the file could be written.
    m_armed = false;
    WriteBmpFile(m_photoFile, bmp);
}

} // namespace selvo::gui
