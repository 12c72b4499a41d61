#pragma once

/// What tests of started programs look at from outside.
namespace ProcessProbe {

/// True while the process `pid` runs (on Linux a zombie, ended but not yet reaped, does not count).
bool runs(long pid);
/// How many files, pipes and other kernel objects this process holds open now.
int openHandles();

} // namespace ProcessProbe
