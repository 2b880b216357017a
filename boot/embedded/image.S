// The boot image's bytes, as the build wrote them (ZOL_BOOT_IMAGE is its path).
// An assembler include keeps the build fast: a C++ array of the same bytes would
// take the compiler seconds at every library edit.
    .section .rodata
    .balign 16
    .globl zol_boot_image_start
    .globl zol_boot_image_end
zol_boot_image_start:
    .incbin ZOL_BOOT_IMAGE
zol_boot_image_end:
    .section .note.GNU-stack,"",@progbits
