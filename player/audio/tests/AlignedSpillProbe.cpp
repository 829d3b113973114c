// An aligned YMM spill, written out: Debian's compiler already emits unaligned spills, so this
// is the move another compiler (or a later change) may produce. Built with the AVX2 unit's own
// options, it must come out as an unaligned move.
void QvrAlignedSpillProbe() {
  asm volatile("vmovaps %%ymm0, 32(%%rsp)\n\tvmovaps 32(%%rsp), %%ymm0" ::: "memory");
}
