#pragma once
// ImageSourceFile: a slice image held in one file (TIFF or IMG). Its header is
// read once, when the name is set; the pixels are read on each request.

#include "image/imageheader.h"
#include "image/imagesource.h"

#include <string>

class ImageSourceFile : public ImageSource {
public:
    ImageSourceFile() = default;
    // Sets the name, reading the file's header.
    explicit ImageSourceFile(const std::string& name);

    std::unique_ptr<ImageSource> clone() const override;
    int getType() const override { return FileType; }
    bool isDefined() const override { return !m_filename.empty(); }
    int getSize1() const override;
    int getSize2() const override;
    int getDepth() const override;
    const Colormap* getColormap() const override;

    // Stores the name and reads the file's header into a fresh one; when the
    // header cannot be read the name stays set, the header stays empty and
    // the reader's exception propagates.
    void setFilename(const std::string& name);
    const std::string& getFilename() const { return m_filename; }
    const ImageHeader& getHeader() const { return m_header; }

private:
    std::string m_filename;
    ImageHeader m_header;
};
