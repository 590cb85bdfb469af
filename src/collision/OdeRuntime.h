#pragma once

namespace vantor {

// Initialises ODE for this process on the first call and is a no-op after that.
// Every object that creates ODE geoms, spaces or worlds calls it first. ODE stays
// initialised until the process exits (dCloseODE runs from an exit handler), so
// applications that are rebuilt on a restart keep using the same library state.
void ensureOdeInitialised();

}  // namespace vantor
