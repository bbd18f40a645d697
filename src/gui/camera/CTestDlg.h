#pragma once

#include <QDialog>
#include <QImage>
#include <QMediaCaptureSession>
#include <QTimer>
#include <QVideoSink>

#include <memory>

class QCamera;
class QComboBox;
class QPushButton;
class QVideoFrame;

namespace selvo::gui {

class CameraPreview;

// "test": the live picture of a camera. "拍照(&C)" writes the next frame as a 24-bit bitmap to
// the photo file and closes with Accepted (whether or not the file appeared; the caller looks
// for it); "退出(&E)" and closing give Rejected. Without a camera the device list is empty,
// "开启(&O)" is disabled and "拍照(&C)" does nothing.
class CTestDlg final : public QDialog {
    Q_OBJECT
    Q_DISABLE_COPY_MOVE(CTestDlg)

public:
    // `photoFile`: where the picture goes (the member editor passes photo/phototemp/temp.bmp).
    explicit CTestDlg(const QString& photoFile, QWidget* parent = nullptr);
    ~CTestDlg() override;

    // Checks for the file this often, this many times, before "拍照失败，请重试".
    static constexpr int kCheckMs = 100;
    static constexpr int kChecks = 10;

    // "拍照(&C)".
    void takePhoto();
    // "开启(&O)": starts the selected device; the button is disabled afterwards in any case.
    void startCamera();
    // Every frame passes here: shown in the preview, and written when a photo was asked for.
    void deliverFrame(const QImage& frame);

    QComboBox* deviceBox() const { return m_devices; }
    QPushButton* captureButton() const { return m_capture; }
    QPushButton* openButton() const { return m_open; }
    QPushButton* exitButton() const { return m_exit; }
    bool waitingForFrame() const { return m_armed; }

private:
    void frameArrived(const QVideoFrame& frame);
    void checkFile();

    QString m_photoFile;
    CameraPreview* m_preview;
    QComboBox* m_devices;
    QPushButton* m_capture;
    QPushButton* m_open;
    QPushButton* m_exit;
    std::unique_ptr<QCamera> m_camera;
    QMediaCaptureSession m_session;
    QVideoSink m_sink;
    QTimer m_checkTimer;
    int m_checksLeft = 0;
    bool m_armed = false; // the next frame is the photo
};

} // namespace selvo::gui
