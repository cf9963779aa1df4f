// Reads a stack and prints the volume of its model "organ".

#include "stack/model.h"
#include "stack/modelmorphometry.h"
#include "stack/stack.h"
#include "stack/stackreader.h"
#include "statistics/modeldensitymap.h"

#include <iostream>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 2;
    Stack stack;
    StackReader reader;
    if (!reader.read(stack, argv[1]) || stack.findModel("organ") < 0)
        return 1;
    ModelMorphometry morphometry;
    morphometry.setModel(*stack.getModel(stack.findModel("organ")));
    morphometry.run();
    ModelDensityMap<float> unused;
    std::cout << stack.getName() << ": " << stack.getNumSlices() << " slices, organ volume "
              << static_cast<long long>(morphometry.getVolume()) << " " << stack.getLengthUnit().symbol() << "^3\n";
    return unused.getNumStacks();
}
