#pragma once

// Freed memory kept for reuse instead of given back to the system at once. The banks, their
// history and the kept work move tens of MiB in blocks of 128 KiB and more, which the C library
// would otherwise map and unmap one by one; a page touched for the first time costs far more
// than one used again (on a virtual machine several times more than the copy itself). Called
// once at the start of each program.
void keepFreedMemoryForReuse();
