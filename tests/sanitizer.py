"""What tests do differently when tools/sanitize.sh runs them, with the sanitizer runtime
preloaded into every process."""
import os

import pytest

SANITIZED = "ASAN_OPTIONS" in os.environ

# A process's memory means nothing for our code there: the sanitizer's allocator keeps freed
# memory in quarantine, and under an address-space limit its own bookkeeping cannot map memory
# and ends the process. The ordinary run measures memory.
measures_memory = pytest.mark.skipif(
    SANITIZED, reason="the sanitizer's allocator keeps freed memory and needs address space")


def unsanitized_environment():
    """The environment for a program that is not ours to check (a compiler, CMake, a browser):
    without the preloaded sanitizer runtime and its options, whose leak checker would end it."""
    return {k: v for k, v in os.environ.items()
            if k not in ("LD_PRELOAD", "ASAN_OPTIONS", "UBSAN_OPTIONS", "LSAN_OPTIONS")}
