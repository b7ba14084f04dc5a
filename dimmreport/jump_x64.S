// SetJump / LongJump for x86-64 with the Microsoft x64 convention (context in RCX, value in
// RDX), for the host (ELF) and the firmware (COFF) build alike. The layout matches JumpBuffer in
// jump_context.h. Movdqu keeps the save area free of any alignment requirement.
        .intel_syntax noprefix
        .text

        .globl SetJump
#if defined(__ELF__)
        .type SetJump, @function
#endif
        .p2align 4
SetJump:
        mov     [rcx + 0x00], rbx
        lea     rax, [rsp + 8]          // the stack pointer after SetJump returns
        mov     [rcx + 0x08], rax
        mov     [rcx + 0x10], rbp
        mov     [rcx + 0x18], rdi
        mov     [rcx + 0x20], rsi
        mov     [rcx + 0x28], r12
        mov     [rcx + 0x30], r13
        mov     [rcx + 0x38], r14
        mov     [rcx + 0x40], r15
        mov     rax, [rsp]              // the resume address
        mov     [rcx + 0x48], rax
        stmxcsr [rcx + 0x50]
        fnstcw  [rcx + 0x54]
        movdqu  [rcx + 0x60], xmm6
        movdqu  [rcx + 0x70], xmm7
        movdqu  [rcx + 0x80], xmm8
        movdqu  [rcx + 0x90], xmm9
        movdqu  [rcx + 0xA0], xmm10
        movdqu  [rcx + 0xB0], xmm11
        movdqu  [rcx + 0xC0], xmm12
        movdqu  [rcx + 0xD0], xmm13
        movdqu  [rcx + 0xE0], xmm14
        movdqu  [rcx + 0xF0], xmm15
        xor     eax, eax
        ret
#if defined(__ELF__)
        .size SetJump, . - SetJump
#endif

        .globl LongJump
#if defined(__ELF__)
        .type LongJump, @function
#endif
        .p2align 4
LongJump:
        mov     rax, rdx
        test    rax, rax
        jnz     1f
        inc     rax                     // SetJump never returns 0 a second time
1:
        mov     rbx, [rcx + 0x00]
        mov     rbp, [rcx + 0x10]
        mov     rdi, [rcx + 0x18]
        mov     rsi, [rcx + 0x20]
        mov     r12, [rcx + 0x28]
        mov     r13, [rcx + 0x30]
        mov     r14, [rcx + 0x38]
        mov     r15, [rcx + 0x40]
        ldmxcsr [rcx + 0x50]
        fldcw   [rcx + 0x54]
        movdqu  xmm6, [rcx + 0x60]
        movdqu  xmm7, [rcx + 0x70]
        movdqu  xmm8, [rcx + 0x80]
        movdqu  xmm9, [rcx + 0x90]
        movdqu  xmm10, [rcx + 0xA0]
        movdqu  xmm11, [rcx + 0xB0]
        movdqu  xmm12, [rcx + 0xC0]
        movdqu  xmm13, [rcx + 0xD0]
        movdqu  xmm14, [rcx + 0xE0]
        movdqu  xmm15, [rcx + 0xF0]
        mov     rsp, [rcx + 0x08]
        jmp     qword ptr [rcx + 0x48]
#if defined(__ELF__)
        .size LongJump, . - LongJump
        .section .note.GNU-stack, "", @progbits
#endif
