#include "app/SkeletonCheck.h"

#include <cmath>
#include <map>
#include <optional>
#include <set>

#include "app/ChunkReader.h"

namespace vantor {

namespace {

// Chunk identifiers of the binary skeleton format (OgreSkeletonFileFormat.h).
enum Chunk : uint16_t {
    kBlendMode = 0x1010,
    kBone = 0x2000,
    kBoneParent = 0x3000,
    kAnimation = 0x4000,
    kAnimationBaseInfo = 0x4010,
    kAnimationTrack = 0x4100,
    kKeyFrame = 0x4110,
    kAnimationLink = 0x5000,
};

// OGRE's limit on bones in one skeleton (OGRE_MAX_NUM_BONES).
constexpr uint16_t kMaxBones = 256;
// Lengths the serializer compares a chunk's length with to tell whether a
// scale follows: header, handle or time, orientation, position.
constexpr uint32_t kBoneWithoutScale = 6 + 2 + 4 * 7;
constexpr uint32_t kKeyFrameWithoutScale = 6 + 4 + 4 * 7;

class SkeletonChecker {
public:
    explicit SkeletonChecker(ChunkReader& r) : r_(r) {}

    void check() {
        std::optional<std::pair<uint16_t, uint32_t>> next = header();
        while (next) {
            const auto [id, length] = *next;
            next.reset();
            switch (id) {
                case kBlendMode:
                    r_.u16();
                    break;
                case kBone:
                    bone(length);
                    break;
                case kBoneParent:
                    boneParent();
                    break;
                case kAnimation:
                    next = animation();
                    break;
                case kAnimationLink:
                    r_.text();
                    r_.finite("an animation link's scale");
                    break;
                default:
                    damaged("the skeleton holds an unknown chunk " + chunkName(id));
            }
            if (!next) {
                next = header();
            }
        }
        if (!bones_.empty() && *bones_.rbegin() != bones_.size() - 1) {
            damaged("the bone handles are not numbered 0 to " + std::to_string(bones_.size() - 1));
        }
    }

private:
    // The next chunk's identifier and length, or nothing at the end.
    std::optional<std::pair<uint16_t, uint32_t>> header() {
        if (r_.atEnd()) {
            return std::nullopt;
        }
        r_.need(kChunkHeaderBytes, "a chunk header");
        const uint16_t id = r_.u16();
        return std::make_pair(id, r_.u32());
    }

    void orientation(const char* what) {
        float q[4];
        for (float& value : q) {
            value = r_.finite(what);
        }
        if (q[0] * q[0] + q[1] * q[1] + q[2] * q[2] + q[3] * q[3] < 1e-12f) {
            damaged(std::string(what) + " is not a rotation");
        }
    }

    void vector(const char* what) {
        for (int i = 0; i < 3; ++i) {
            r_.finite(what);
        }
    }

    void bone(uint32_t length) {
        r_.text();
        const uint16_t handle = r_.u16();
        if (handle >= kMaxBones || !bones_.insert(handle).second) {
            damaged("bone handle " + std::to_string(handle) + " is repeated or too large");
        }
        vector("a bone's position");
        orientation("a bone's orientation");
        if (length > kBoneWithoutScale) {
            vector("a bone's scale");
        }
    }

    void boneParent() {
        const uint16_t child = r_.u16();
        const uint16_t parent = r_.u16();
        if (!bones_.count(child) || !bones_.count(parent)) {
            damaged("a bone parent names a bone that does not exist");
        }
        if (parents_.count(child)) {
            damaged("bone " + std::to_string(child) + " has two parents");
        }
        for (uint16_t up = parent;; up = parents_[up]) {
            if (up == child) {
                damaged("bone " + std::to_string(child) + " would be its own ancestor");
            }
            if (!parents_.count(up)) {
                break;
            }
        }
        parents_[child] = parent;
    }

    // Reads an animation with its tracks; returns the chunk header that ended
    // it, which belongs to the level above.
    std::optional<std::pair<uint16_t, uint32_t>> animation() {
        r_.text();
        r_.finite("an animation's length");
        std::optional<std::pair<uint16_t, uint32_t>> next = header();
        if (next && next->first == kAnimationBaseInfo) {
            r_.text();
            r_.finite("a base key frame time");
            next = header();
        }
        std::set<uint16_t> tracks;
        while (next && next->first == kAnimationTrack) {
            const uint16_t handle = r_.u16();
            if (!bones_.count(handle) || !tracks.insert(handle).second) {
                damaged("an animation track names bone " + std::to_string(handle) +
                        ", which does not exist or has a track already");
            }
            next = header();
            while (next && next->first == kKeyFrame) {
                r_.finite("a key frame's time");
                orientation("a key frame's rotation");
                vector("a key frame's translation");
                if (next->second > kKeyFrameWithoutScale) {
                    vector("a key frame's scale");
                }
                next = header();
            }
        }
        return next;
    }

    ChunkReader& r_;
    std::set<uint16_t> bones_;
    std::map<uint16_t, uint16_t> parents_;  // child -> parent
};

}  // namespace

std::string checkSkeletonFile(const uint8_t* data, size_t size) {
    try {
        std::string version;
        std::optional<ChunkReader> file = ChunkReader::afterHeader(data, size, version);
        if (!file) {
            return "is not a skeleton file";
        }
        if (version != "[Serializer_v1.80]" && version != "[Serializer_v1.10]") {
            return "is in the skeleton format " + version.substr(0, 40) +
                   ", which the engine does not load";
        }
        SkeletonChecker(*file).check();
        return "";
    } catch (const DamagedFile& e) {
        return std::string("is damaged: ") + e.what();
    }
}

}  // namespace vantor
