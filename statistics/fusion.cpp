#include "statistics/fusion.h"

#include "geometry/curvestack.h"
#include "geometry/quadmesh.h"
#include "stack/model.h"
#include "stack/stack.h"
#include "stack/stackreconstruction.h"
#include "statistics/globalshapesetgroupregistration.h"
#include "statistics/principalaxesshaperegistration.h"
#include "statistics/radialbasisfunctionwarp.h"
#include "statistics/shapesetregistration.h"
#include "statistics/targetshapesetgroupregistration.h"
#include "statistics/targetshapesetgroupwarping.h"

#include <algorithm>
#include <set>

namespace {

// Keeps the step under way reachable by cancel() while it runs.
template <typename T>
class ActiveStep {
public:
    ActiveStep(Fusion<T>& fusion, ProgressSubject& step, void (Fusion<T>::*set)(ProgressSubject*))
        : m_fusion(fusion), m_set(set)
    {
        (m_fusion.*m_set)(&step);
    }
    ~ActiveStep() { (m_fusion.*m_set)(nullptr); }
    ActiveStep(const ActiveStep&) = delete;
    ActiveStep& operator=(const ActiveStep&) = delete;

private:
    Fusion<T>& m_fusion;
    void (Fusion<T>::*m_set)(ProgressSubject*);
};

// A vertex stack with all the levels of stack on one pool of its own.
template <typename T>
std::unique_ptr<VertexStack<T>> singlePoolCopy(const VertexStack<T>& stack)
{
    const int total = std::max(stack.getNumVertices(), 1);
    auto copy = std::make_unique<VertexStack<T>>(3, 0, 0, total, total);
    for (int k = 0; k < stack.getHeight(); ++k) {
        Vertices<T> level;
        level.setServer(copy->getServer());
        level.append(stack[k]);
        copy->append(level);
    }
    return copy;
}

// The size of the mesh a curve stack is resampled into: the configured one,
// else the model's, else one level per contour and the largest contour's
// vertex count.
int chooseSize(int configured, unsigned int model, int fallback)
{
    if (configured >= 1)
        return configured;
    if (model >= 1)
        return static_cast<int>(model);
    return fallback;
}

} // namespace

template <typename T>
Fusion<T>::~Fusion() = default;

template <typename T>
void Fusion<T>::setActive(ProgressSubject* subject)
{
    std::lock_guard<std::mutex> lock(m_activeMutex);
    m_active = subject;
}

template <typename T>
void Fusion<T>::cancel()
{
    {
        std::lock_guard<std::mutex> lock(m_activeMutex);
        if (m_active)
            m_active->cancel();
    }
    ProgressProxy::cancel();
}

template <typename T>
void Fusion<T>::clear()
{
    m_group.clear();
    m_sets.clear();
    m_owned.clear();
    m_mean.reset();
    m_distances = Vector<T>();
}

template <typename T>
bool Fusion<T>::run()
{
    clear();
    this->reset();
    m_log.str("");
    m_log.clear();
    const FusionStrategy& strategy = m_config.strategy;

    // The chain unregisters from its subjects when destroyed: it must go
    // first.
    ProgressProxy aligning;
    ProgressProxy registering;
    ProgressProxy warpingProgress;
    ProgressChain chain;
    if (strategy.alignment)
        chain.addSubject(aligning);
    if (strategy.registration)
        chain.addSubject(registering);
    if (strategy.warping)
        chain.addSubject(warpingProgress);
    chain.addMonitor(*this);

    this->notifyProgressed(std::string("Initializing shape sets..."));
    initLog();
    buildShapeSets();
    if (!this->isCanceled() && strategy.alignment) {
        this->notifyProgressed(std::string("Aligning shapes..."));
        alignment(aligning);
    }
    if (!this->isCanceled() && strategy.registration) {
        this->notifyProgressed(std::string("Registering shapes..."));
        registration(registering);
    }
    if (!this->isCanceled()) {
        this->notifyProgressed(std::string("Averaging shapes..."));
        averaging();
    }
    if (!this->isCanceled() && strategy.warping) {
        this->notifyProgressed(std::string("Warping shapes..."));
        warping(warpingProgress);
    }
    if (this->isCanceled()) {
        clear();
        return false;
    }

    const ShapeSet<T> meanReferences = m_mean->referenceShapeSet();
    m_distances.setZeros(static_cast<int>(m_sets.size()));
    for (std::size_t i = 0; i < m_sets.size(); ++i) {
        const Vector<T> d = m_sets[i]->referenceShapeSet().rmsDistances(meanReferences);
        m_distances[static_cast<int>(i)] = d.getSize() > 0 ? d.mean() : T(0);
    }
    this->notifyProgressed(std::string("Normalization completed"));
    return true;
}

template <typename T>
void Fusion<T>::initLog()
{
    m_log << "<b>Spatial normalization summary</b><br >";
    m_log << "Name: <i>" << m_config.name << "</i><br >";
    m_log << "<br ><b>Stacks</b><br >";
    for (const Stack* stack : m_config.stacks)
        m_log << stack->getName() << "<br >";
    m_log << "Total " << m_config.stacks.size() << " stacks<br >";
    m_log << "<br ><b>Reference structures</b><br >";
    int references = 0;
    for (const FusionSurfaceStructure<T>& s : m_config.surfaceStructures)
        if (s.reference) {
            m_log << "<i>" << s.name << "</i> - Resampling: " << s.resamplingWidth << " x " << s.resamplingHeight
                  << "<br >";
            ++references;
        }
    if (references > 0)
        m_log << "Total " << references << " references<br >";
    else
        m_log << "None (N/A)<br >";
}

template <typename T>
void Fusion<T>::buildShapeSets()
{
    std::set<std::string> names;
    for (const Stack* stack : m_config.stacks)
        for (int m = 0; m < stack->getNumModels(); ++m)
            names.insert(stack->getModel(m)->getName());

    for (const Stack* stack : m_config.stacks) {
        auto set = std::make_unique<ShapeSet<T>>(stack->getName());
        const StackReconstruction<T> reconstruction(*stack);
        for (const std::string& name : names) {
            const FusionSurfaceStructure<T>* surface = m_config.findSurfaceStructure(name);
            // A missing structure keeps its reference flag, so that the
            // reference sets of all specimens stay aligned entry by entry.
            const bool reference = surface && surface->reference;
            const int index = stack->findModel(name);
            std::unique_ptr<VertexStack<T>> shape = index < 0 ? nullptr : reconstruction.apply(*stack->getModel(index));
            if (!shape || shape->getHeight() == 0 || shape->getNumVertices() == 0) {
                set->addShape(nullptr, reference, false);
                continue;
            }
            const Model& model = *stack->getModel(index);
            if (const auto* contours = dynamic_cast<const CurveStack<T>*>(shape.get())) {
                int widest = 3;
                for (int k = 0; k < contours->getHeight(); ++k)
                    widest = std::max(widest, (*contours)[k].getNumVertices());
                const int fallbackHeight = std::max(2, contours->getHeight());
                const int height = chooseSize(surface ? surface->resamplingHeight : -1,
                                              model.getProperties().getQuadMeshHeight(), fallbackHeight);
                const int width = chooseSize(surface ? surface->resamplingWidth : -1,
                                             model.getProperties().getQuadMeshWidth(), widest);
                auto mesh = std::make_unique<QuadMesh<T>>(contours->resample(height, width));
                mesh->buildCaps();
                mesh->setName(model.getName());
                set->addShape(mesh.release(), reference, true);
            } else {
                std::unique_ptr<VertexStack<T>> points = singlePoolCopy(*shape);
                points->setName(model.getName());
                set->addShape(points.release(), false, true);
            }
        }
        m_sets.push_back(set.get());
        m_group.addShapeSet(*set);
        m_owned.push_back(std::move(set));
    }
}

template <typename T>
void Fusion<T>::logGroupError(const std::string& label)
{
    std::vector<ShapeSet<T>> references = ShapeSetGroupRegistration<T>::matchedReferenceSets(m_group);
    ShapeSetGroup<T> group;
    for (ShapeSet<T>& set : references)
        group.addShapeSet(set);
    T mean;
    T sem;
    ShapeSetGroupRegistration<T>::errorType1(group, mean, sem);
    m_log << label << mean << " +/- " << sem << "<br >";
}

template <typename T>
void Fusion<T>::alignment(ProgressProxy& progress)
{
    m_log << "<br ><b>Alignment</b><br >";
    m_log << "Method: principal axes alignement<br ><br >";
    logGroupError("Error before alignment: ");
    progress.notifyStarted("Aligning shapes...");
    const int n = static_cast<int>(m_sets.size());
    for (int i = 0; i < n; ++i) {
        if (this->isCanceled())
            return;
        ShapeSet<T>& set = *m_sets[static_cast<std::size_t>(i)];
        const VertexStack<T> references = set.referenceShapeSet().asVertexStack();
        if (references.getNumVertices() > 0) {
            PrincipalAxesShapeRegistration<T> axes;
            axes.fit(references);
            axes.apply(set);
        }
        progress.notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    progress.notifyFinished("");
    logGroupError("Error after alignment: ");
}

template <typename T>
void Fusion<T>::registration(ProgressProxy& progress)
{
    const FusionStrategy& strategy = m_config.strategy;
    if (strategy.registrationAlgorithm == FusionRegistrationAlgorithm::Global) {
        m_log << "<br ><b>Rigid registration</b><br >";
        GlobalShapeSetGroupRegistration<T> registration;
        registration.addMonitor(progress);
        {
            ActiveStep<T> active(*this, registration, &Fusion<T>::setActive);
            registration.apply(m_group);
        }
        if (registration.isCanceled())
            return;
        m_log << "Method: joint registration/averaging global registration<br >";
        m_log << "Convergence reached at iteration " << registration.getNumSweeps() << "<br >";
        std::vector<T> means;
        std::vector<T> sems;
        registration.getDynamics(means, sems);
        for (std::size_t k = 0; k < means.size(); ++k)
            m_log << "Registration error at step " << k << ": " << means[k] << " +/- " << sems[k] << "<br >";
    } else if (strategy.registrationAlgorithm == FusionRegistrationAlgorithm::Pairwise) {
        m_log << "<br ><b>Rigid registration</b><br >";
        m_log << "Method: registration of each stack on a template<br >";
        const auto target = std::find_if(m_sets.begin(), m_sets.end(), [&](const ShapeSet<T>* set) {
            return set->getName() == strategy.referenceStack;
        });
        if (target == m_sets.end()) {
            m_log << "Template stack: <i>" << strategy.referenceStack << "</i> not found: no registration<br >";
            return;
        }
        m_log << "Template stack: <i>" << strategy.referenceStack << "</i><br ><br >";
        TargetShapeSetGroupRegistration<T> registration;
        registration.setTargetShapeSet(**target);
        registration.addMonitor(progress);
        {
            ActiveStep<T> active(*this, registration, &Fusion<T>::setActive);
            registration.apply(m_group);
        }
        if (registration.isCanceled())
            return;
        std::vector<T> means;
        std::vector<T> sems;
        registration.getDynamics(means, sems);
        m_log << "Error before registration " << means.front() << " +/- " << sems.front() << "<br >";
        m_log << "Error after registration  " << means.back() << " +/- " << sems.back() << "<br >";
    }
}

template <typename T>
void Fusion<T>::averaging()
{
    for (std::size_t i = 1; i < m_sets.size(); ++i)
        m_sets[i]->matchSurfaces(*m_sets[0]);
    m_mean = std::make_unique<ShapeSet<T>>(
        ShapeSet<T>::computeMean(std::vector<const ShapeSet<T>*>(m_sets.begin(), m_sets.end())));
}

template <typename T>
void Fusion<T>::warping(ProgressProxy& progress)
{
    const FusionStrategy& strategy = m_config.strategy;
    m_log << "<br ><b>Warping</b><br >";
    logGroupError("Error before warping: ");
    if (strategy.warpingModel == FusionWarpingModel::Polynomials) {
        TargetShapeSetGroupWarping<T> warping;
        warping.setTargetShapeSet(*m_mean);
        warping.addMonitor(progress);
        {
            ActiveStep<T> active(*this, warping, &Fusion<T>::setActive);
            warping.apply(m_group, static_cast<int>(strategy.polynomialDegree));
        }
        if (warping.isCanceled())
            return;
        const long long evaluations = warping.numEvaluations();
        const long long errors = warping.numJacobianErrors();
        m_log << "Percentage error: " << (evaluations > 0 ? static_cast<double>(errors) * 100.0 / evaluations : 0.0)
              << "<br >";
        m_log << "Jacobian errors: " << errors << "<br >";
        m_log << "Evaluations: " << evaluations << "<br >";
        m_log << "Method: polynomial deformations of degree " << strategy.polynomialDegree << "<br >";
    } else {
        const ShapeSet<T> target = m_mean->referenceShapeSet();
        tpsWarping(target, &progress);
        if (this->isCanceled())
            return;
        m_log << "Method: thin-plate splines<br >";
    }
    logGroupError("Error after warping: ");
}

template <typename T>
void Fusion<T>::tpsWarping(const ShapeSet<T>& target, ProgressProxy* progress)
{
    const ShapeSet<T> targetReferences = target.referenceShapeSet();
    if (progress)
        progress->notifyStarted("Warping shapes...");
    const int n = static_cast<int>(m_sets.size());
    for (int i = 0; i < n; ++i) {
        if (this->isCanceled())
            return;
        ShapeSet<T>& set = *m_sets[static_cast<std::size_t>(i)];
        Vertices<T> from;
        Vertices<T> to;
        ShapeSetRegistration<T>::matchedVertices(set, targetReferences, from, to);
        if (from.getNumVertices() > 0) {
            RadialBasisFunctionWarp<T> warp;
            warp.fit(from, to);
            for (int s = 0; s < set.getNumShapes(); ++s)
                if (set[s])
                    warp.apply(*set[s]);
        }
        if (progress)
            progress->notifyProgressed(static_cast<unsigned int>(i), static_cast<unsigned int>(n));
    }
    if (progress)
        progress->notifyFinished("");
}

#define PLEXAN_INSTANTIATE(T) template class Fusion<T>;
PLEXAN_FOR_EACH_REAL_TYPE(PLEXAN_INSTANTIATE)
#undef PLEXAN_INSTANTIATE
