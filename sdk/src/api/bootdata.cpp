// The SDK's boot-data functions: headers from the camera and from image files, and flashing
// product information. On failure the header owner is emptied, so no stale or zeroed record
// passes for a header.
#include "api/common.h"
#include "bootdata/boot_image.h"

using lentra::BootImage;
using lentra::Camera;
using lentra::Needs;
using lentra::onCamera;
namespace sim = lentra::sim;

namespace {

template <typename Header, typename Read>
int headerFromCamera(const LxCameraHandle& cam, const char* function, std::unique_ptr<Header>& header,
                     Read read) {
    const int status = onCamera(cam, function, Needs::Open, [&](Camera& c) {
        if (!c.description().lentra) return LX_STATUS_NOT_SUPPORTED;
        return (c.bootData().*read)(header);
    });
    if (status != LX_STATUS_OK) {
        header.reset();
        lentra::log::failed(function, status, "no boot-data header of that version");
    }
    return status;
}

template <typename Header>
int headerFromFile(const std::string& path, const char* function, std::unique_ptr<Header>& header,
                   std::optional<Header> BootImage::*field) {
    if (lentra::checkPath(function, path) != LX_STATUS_OK) {
        header.reset();
        return LX_STATUS_INVALID_ARGUMENT;
    }
    BootImage image;
    std::string why;
    int status = lentra::readBootImage(path, image, why);
    if (status == LX_STATUS_OK && !(image.*field)) {
        status = LX_STATUS_BAD_FILE;
        why = "the image holds a header of the other version";
    }
    if (status != LX_STATUS_OK) {
        header.reset();
        return lentra::log::failed(function, status, why.c_str());
    }
    header = std::make_unique<Header>(*(image.*field));
    return LX_STATUS_OK;
}

}  // namespace

int LxGetBootdataHeaderV2(LxCameraHandle cam, std::unique_ptr<LxHeaderV2>& header) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(header);
    return headerFromCamera(cam, __func__, header, &lentra::BootData::headerV2);
}

int LxGetBootdataHeaderV3(LxCameraHandle cam, std::unique_ptr<LxHeaderV3>& header) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer(header);
    return headerFromCamera(cam, __func__, header, &lentra::BootData::headerV3);
}

int LxGetBootdataHeaderV2FromFile(std::string path, std::unique_ptr<LxHeaderV2>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return headerFromFile(path, __func__, header, &BootImage::v2);
}

int LxGetBootdataHeaderV3FromFile(std::string path, std::unique_ptr<LxHeaderV3>& header) {
    if (auto fault = sim::enter(__func__)) return fault->answer(header);
    return headerFromFile(path, __func__, header, &BootImage::v3);
}

int LxFlashProductInfo(LxCameraHandle cam, std::string path) {
    if (auto fault = sim::enter(__func__, cam)) return fault->answer();
    if (int status = lentra::checkPath(__func__, path); status != LX_STATUS_OK) return status;
    // The whole image is checked before the camera is touched: a bad one changes nothing.
    BootImage image;
    std::string why;
    if (int status = lentra::readBootImage(path, image, why); status != LX_STATUS_OK)
        return lentra::log::failed(__func__, status, why.c_str());
    return onCamera(cam, __func__, Needs::Open, [&](Camera& c) {
        if (!c.description().lentra)
            return lentra::log::failed("LxFlashProductInfo", LX_STATUS_NOT_SUPPORTED,
                                       "not one of the maker's cameras");
        if (c.state().streaming)
            return lentra::log::failed("LxFlashProductInfo", LX_STATUS_STREAMING, "the camera is streaming");
        c.bootData().flash(std::move(image));
        return LX_STATUS_OK;
    });
}
