#pragma once
// PLXImageProxy: what a view holds to show the image of one image source.
//
// The proxy names its source and attaches to an image server, which loads
// the image in the background and pushes it, then its reduced copies, to the
// proxy (always in the GUI thread). The proxy keeps the images it received,
// largest first, and emits imageChanged() on each; a view picks the one that
// suits its zoom with getImage(size). Two proxies of the same source (same
// key) share one loading job: the image is read once.

#include "app/slice/plximagepointer.h"
#include "app/slice/plximageserver.h"
#include "image/pixelcalibration.h"
#include "numerics/progressmonitor.h"

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>

#include <memory>

class ImageSource;
class PLXImageServerData;

class PLXImageProxy : public QObject, public ProgressMonitor {
    Q_OBJECT
public:
    explicit PLXImageProxy(QObject* parent = nullptr);
    // Detaches from the server.
    ~PLXImageProxy() override;

    // Stores a copy of source. An attached proxy detaches, forgets its
    // images and attaches again for the new source (nothing happens when the
    // key is unchanged).
    void setImageSource(const ImageSource& source);
    // Detaches, forgets the source and the images.
    void clearImageSource();
    bool hasImageSource() const { return m_source != nullptr; }
    // Null when there is none.
    const ImageSource* getImageSource() const { return m_source.get(); }

    // Detaches from the old server first; does not attach to the new one.
    void setImageServer(PLXImageServer* server);
    // ProgramError "This proxy has no image server" without one.
    PLXImageServer& getImageServer() const;
    bool hasImageServer() const { return m_server != nullptr; }
    // Detaches, then forgets the server.
    void clearImageServer();
    // Asks the server for the image (nothing without a server or a source,
    // or when already attached).
    void attachToServer();
    void detachFromServer();
    bool isAttached() const { return m_attached; }

    // Images ---------------------------------------------------------------

    bool hasImage() const { return !m_images.isEmpty(); }
    int getNumImages() const { return static_cast<int>(m_images.size()); }
    // The full image; ProgramError "This proxy has no image" without one.
    const Image& getImage() const;
    // Walking from the full image toward the smallest, the last image wider
    // than size.width(): the full image when the next one is already no
    // wider, the smallest when every image is wider. ProgramError as above.
    const Image& getImage(const QSize& size) const;
    // The same images as shared pointers (null without an image), for views
    // that keep them past the next change.
    PLXImagePointer getImagePointer() const;
    PLXImagePointer getImagePointer(const QSize& size) const;
    // All of them, the full image first, then smaller and smaller.
    const QList<PLXImagePointer>& getImages() const { return m_images; }
    // Appends image unless it is held already; emits imageChanged() in both
    // cases. The copying form makes a shared copy.
    void setImage(const PLXImagePointer& image);
    void setImage(const Image& image);
    // Forgets the images (and any failure); emits imageChanged() when it
    // held one.
    void clearImage();

    // The grey-level range of the full image (PLXDisplayImage::rangeOf): as
    // the job found it while reading, else computed once from the full image
    // (0 without an image). Views window the reduced copies with it too.
    void setLevelRange(int range) { m_range = range; }
    int getLevelRange() const;

    // Loading state, as the job reports it: loading between its start and its
    // end; loaded once it finished (reduced copies included); a failed read
    // leaves an error text.
    bool isLoading() const { return m_loading; }
    bool isLoaded() const { return m_loaded; }
    bool hasFailed() const { return !m_error.isEmpty(); }
    const QString& getErrorText() const { return m_error; }

    // Size and calibration of the image the source stands for, when the view
    // shows it at another size than the one read.
    void setOriginalImageSize(const QSize& size) { m_originalSize = size; }
    const QSize& getOriginalImageSize() const { return m_originalSize; }
    bool hasOriginalImageSize() const { return m_originalSize.isValid(); }
    void clearOriginalImageSize() { m_originalSize = QSize(); }
    void setPixelCalibration(const PixelCalibration& c) { m_calibration = c; }
    const PixelCalibration& getPixelCalibration() const { return m_calibration; }

    // The key of the source (empty without one): proxies with equal keys
    // share a job.
    QString key() const;
    static QString key(const ImageSource& source);

signals:
    void imageChanged();
    void loadingStarted();
    // Percent of the read done.
    void loadingProgressed(int percent);
    void loadingFinished();
    void loadingCanceled();
    void loadingFailed(const QString& text);

protected:
    void subjectStarted(const std::string& text) override;
    void subjectFinished(const std::string& text) override;
    void subjectCanceled(const std::string& text) override;
    void subjectProgressed(unsigned int i, unsigned int n) override;

private:
    friend class PLXImageServer;
    friend class PLXImageServerData;
    // The server is going away: forget it without detaching.
    void serverDestroyed();
    // The job replaced its images: hold exactly these.
    void replaceImages(const QList<PLXImagePointer>& images);
    void setFailed(const QString& text);
    int indexFor(const QSize& size) const;

    std::unique_ptr<ImageSource> m_source;
    QString m_key;
    QPointer<PLXImageServer> m_server;
    bool m_attached = false;
    QList<PLXImagePointer> m_images;
    bool m_loading = false;
    bool m_loaded = false;
    QString m_error;
    mutable int m_range = 0;
    QSize m_originalSize;
    PixelCalibration m_calibration;
};
