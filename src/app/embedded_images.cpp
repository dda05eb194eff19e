#include "app/embedded_images.h"

#include <QString>
#include <array>

// The resources live in a static library; make sure they are linked in and
// registered before the first picture is loaded.
static void registerEmbeddedResources() {
    static const bool registered = [] {
        Q_INIT_RESOURCE(resources);
        return true;
    }();
    (void)registered;
}

namespace {

constexpr std::array<const char*, kEmbeddedImageCount> kImagePaths = {
    ":/images/00_indicator.png", ":/images/01_copy_day.png", ":/images/02_copy_arrow.png",
    ":/images/03_about.png",     ":/images/04_new.png",      ":/images/05_open.png",
    ":/images/06_save.png",      ":/images/07_help.png",     ":/images/08_web.png",
    ":/images/09_about.png",     ":/images/10_exit.png",
};

struct ImageCache {
    std::array<QPixmap, kEmbeddedImageCount> pixmaps;
    std::array<bool, kEmbeddedImageCount> tried{};
};

ImageCache& imageCache() {
    static ImageCache cache;
    return cache;
}

}  // namespace

QPixmap embeddedImage(int id) {
    if (id < 0 || id >= kEmbeddedImageCount) return {};
    registerEmbeddedResources();
    ImageCache& cache = imageCache();
    const auto i = static_cast<size_t>(id);
    if (!cache.tried[i]) {
        cache.tried[i] = true;
        cache.pixmaps[i].load(QString::fromLatin1(kImagePaths[i]), "PNG");
    }
    return cache.pixmaps[i];
}

QIcon embeddedIcon(int id) {
    const QPixmap pixmap = embeddedImage(id);
    return pixmap.isNull() ? QIcon() : QIcon(pixmap);
}

bool preloadEmbeddedImages() {
    bool all = true;
    for (int id = 0; id < kEmbeddedImageCount; ++id) all = !embeddedImage(id).isNull() && all;
    return all;
}
