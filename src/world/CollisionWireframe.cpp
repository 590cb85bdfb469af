#include "world/CollisionWireframe.h"

#include <OgreManualObject.h>
#include <OgreMaterialManager.h>
#include <OgreSceneManager.h>
#include <OgreSceneNode.h>
#include <OgreTechnique.h>
#include <ode/collision.h>

#include <array>

#include "collision/CollisionMgr.h"

namespace vantor {

namespace {

const char* const kObjectName = "_CollisionWireframe";
const char* const kMaterialName = "Vantor/CollisionWireframe";

// Space colours, given out in the order of the space names.
const std::array<Ogre::ColourValue, 6> kColours = {
    Ogre::ColourValue(1.0f, 0.3f, 0.3f), Ogre::ColourValue(0.3f, 1.0f, 0.3f),
    Ogre::ColourValue(0.3f, 0.6f, 1.0f), Ogre::ColourValue(1.0f, 1.0f, 0.2f),
    Ogre::ColourValue(1.0f, 0.3f, 1.0f), Ogre::ColourValue(0.2f, 1.0f, 1.0f)};

// Unlit, coloured by its vertices, and drawn over everything: lines on the
// rendered surfaces they outline would flicker against them, and a trigger
// inside a wall is meant to be seen.
const char* wireMaterial() {
    const char* name = kMaterialName;
    auto& materials = Ogre::MaterialManager::getSingleton();
    if (!materials.resourceExists(name, Ogre::RGN_INTERNAL)) {
        Ogre::MaterialPtr material = materials.create(name, Ogre::RGN_INTERNAL);
        material->setLightingEnabled(false);
        Ogre::Pass* pass = material->getTechnique(0)->getPass(0);
        pass->setVertexColourTracking(Ogre::TVC_DIFFUSE);
        pass->setDepthCheckEnabled(false);
        pass->setDepthWriteEnabled(false);
    }
    return name;
}

}  // namespace

CollisionWireframe::CollisionWireframe(Ogre::SceneManager& scene, CollisionMgr& collision)
    : scene_(scene), collision_(collision) {
    lines_ = scene_.createManualObject(kObjectName);
    lines_->setDynamic(true);
    // After the level's own geometry, since the lines ignore depth.
    lines_->setRenderQueueGroup(Ogre::RENDER_QUEUE_SKIES_LATE);
    scene_.getRootSceneNode()->attachObject(lines_);
}

CollisionWireframe::~CollisionWireframe() {
    scene_.destroyManualObject(lines_);
}

void CollisionWireframe::update() {
    lines_->clear();
    triangles_ = 0;
    size_t colour = 0;
    bool begun = false;
    for (const auto& entry : collision_.getSpaces()) {
        const dSpaceID space = entry.second->space();
        const Ogre::ColourValue& tint = kColours[colour++ % kColours.size()];
        for (int i = 0; i < dSpaceGetNumGeoms(space); ++i) {
            const dGeomID geom = dSpaceGetGeom(space, i);
            // Sub-spaces are drawn in their own colour as spaces of their own.
            if (dGeomGetClass(geom) != dTriMeshClass) {
                continue;
            }
            const int count = dGeomTriMeshGetTriangleCount(geom);
            for (int t = 0; t < count; ++t) {
                dVector3 corner[3];
                dGeomTriMeshGetTriangle(geom, t, &corner[0], &corner[1], &corner[2]);
                if (!begun) {
                    lines_->begin(wireMaterial(), Ogre::RenderOperation::OT_LINE_LIST,
                                  Ogre::RGN_INTERNAL);
                    begun = true;
                }
                for (int edge = 0; edge < 3; ++edge) {
                    for (const dVector3* end : {&corner[edge], &corner[(edge + 1) % 3]}) {
                        lines_->position(static_cast<float>((*end)[0]),
                                         static_cast<float>((*end)[1]),
                                         static_cast<float>((*end)[2]));
                        lines_->colour(tint);
                    }
                }
                ++triangles_;
            }
        }
    }
    if (begun) {
        lines_->end();
    }
}

}  // namespace vantor
