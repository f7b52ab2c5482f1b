// Non-fatal conditions, issued as catalogue warnings with the prefix
// "Tarnwell:". The variadic arguments are texts, one per placeholder of the
// message.
#pragma once

void DesWarning(unsigned long id, ...);
// The block is accepted for symmetry with errors; the host's warning service
// takes no object.
void DesWarning(void* block, unsigned long id, ...);
