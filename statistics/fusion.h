#pragma once
// Fusion<T>: brings several specimens (stacks) into one frame. Every stack
// becomes a shape set with one entry per structure name found in any of the
// stacks (sorted): a quadrilateral mesh with caps for an outlined model, a
// vertex stack for a point model, a null entry where the stack lacks the
// model. Then, as the strategy asks, always in this order:
//
//   1. alignment: each set moved so that the centre and principal axes of
//      its reference shapes coincide with the coordinate frame;
//   2. rigid registration, global (joint registration and averaging) or
//      pairwise (each set on the template stack's set);
//   3. after the mean shape set is computed, warping onto it, by
//      polynomials or thin-plate splines.
//
// run() is synchronous; it reports through the fusion's monitors (a chain
// of one progress proxy per enabled step, 0 to 100 across them, and status
// texts), and cancel() stops it between stages, after which the partial
// results are cleared. The stacks are never modified. The log is an HTML
// summary of the run.

#include "numerics/progresschain.h"
#include "numerics/progressproxy.h"
#include "statistics/fusionconfig.h"
#include "statistics/shapesetgroup.h"

#include <memory>
#include <mutex>
#include <sstream>
#include <string>
#include <vector>

template <typename T>
class Fusion : public ProgressProxy {
public:
    Fusion() = default;
    Fusion(const Fusion&) = delete;
    Fusion& operator=(const Fusion&) = delete;
    ~Fusion() override;

    void setConfig(const FusionConfig<T>& config) { m_config = config; }
    const FusionConfig<T>& getConfig() const { return m_config; }

    // Runs the fusion; true when it completed, false when it was cancelled.
    bool run();
    // Deletes the shape sets and the mean shape set.
    void clear();
    // May be called from another thread: cancels the step under way too.
    void cancel() override;

    // One set per stack, in configuration order (owned by the fusion).
    const std::vector<ShapeSet<T>*>& getShapeSets() const { return m_sets; }
    const ShapeSetGroup<T>& getGroup() const { return m_group; }
    // Null until computed.
    ShapeSet<T>* getMeanShapeSet() const { return m_mean.get(); }
    // For each set, the mean RMS distance of its reference shapes to those of
    // the mean shape set, after the run.
    const Vector<T>& getDistances() const { return m_distances; }
    std::string getLog() const { return m_log.str(); }

    // The steps of run(), public so that they can be run one by one.
    void initLog();
    void buildShapeSets();
    void alignment(ProgressProxy& progress);
    void registration(ProgressProxy& progress);
    void averaging();
    void warping(ProgressProxy& progress);
    // Warps every set by a thin-plate spline carrying its reference vertices
    // onto the corresponding vertices of target.
    void tpsWarping(const ShapeSet<T>& target, ProgressProxy* progress = nullptr);

private:
    // Writes "mean +/- sem" of the group error of the sets' reference sets,
    // their meshes first turned to correspond with the first set's.
    void logGroupError(const std::string& label);
    void setActive(ProgressSubject* subject);

    FusionConfig<T> m_config;
    std::vector<std::unique_ptr<ShapeSet<T>>> m_owned;
    std::vector<ShapeSet<T>*> m_sets;
    ShapeSetGroup<T> m_group;
    std::unique_ptr<ShapeSet<T>> m_mean;
    Vector<T> m_distances;
    std::ostringstream m_log;
    std::mutex m_activeMutex;
    ProgressSubject* m_active = nullptr;
};

#define PLEXAN_EXTERN_FUSION(T) extern template class Fusion<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_EXTERN_FUSION)
#undef PLEXAN_EXTERN_FUSION
