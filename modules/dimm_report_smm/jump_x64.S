// SetJump / LongJump for x86-64 with the Microsoft x64 convention (context in RCX, value in
// RDX), for the host (ELF) and the firmware (COFF) build alike. The layout matches JumpBuffer in
// jump_context.h. Movdqu keeps the save area free of any alignment requirement.
        .text

        .globl SetJump
#if defined(__ELF__)
        .type SetJump, @function
#endif
        .p2align 4
SetJump:
        mov     %rbx, 0x00(%rcx)
        lea     8(%rsp), %rax          // the stack pointer after SetJump returns
        mov     %rax, 0x08(%rcx)
        mov     %rbp, 0x10(%rcx)
        mov     %rdi, 0x18(%rcx)
        mov     %rsi, 0x20(%rcx)
        mov     %r12, 0x28(%rcx)
        mov     %r13, 0x30(%rcx)
        mov     %r14, 0x38(%rcx)
        mov     %r15, 0x40(%rcx)
        mov     (%rsp), %rax              // the resume address
        mov     %rax, 0x48(%rcx)
        stmxcsr 0x50(%rcx)
        fnstcw  0x54(%rcx)
        movdqu  %xmm6, 0x60(%rcx)
        movdqu  %xmm7, 0x70(%rcx)
        movdqu  %xmm8, 0x80(%rcx)
        movdqu  %xmm9, 0x90(%rcx)
        movdqu  %xmm10, 0xA0(%rcx)
        movdqu  %xmm11, 0xB0(%rcx)
        movdqu  %xmm12, 0xC0(%rcx)
        movdqu  %xmm13, 0xD0(%rcx)
        movdqu  %xmm14, 0xE0(%rcx)
        movdqu  %xmm15, 0xF0(%rcx)
        xor     %eax, %eax
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
        mov     %rdx, %rax
        test    %rax, %rax
        jnz     1f
        inc     %rax                     // SetJump never returns 0 a second time
1:
        mov     0x00(%rcx), %rbx
        mov     0x10(%rcx), %rbp
        mov     0x18(%rcx), %rdi
        mov     0x20(%rcx), %rsi
        mov     0x28(%rcx), %r12
        mov     0x30(%rcx), %r13
        mov     0x38(%rcx), %r14
        mov     0x40(%rcx), %r15
        ldmxcsr 0x50(%rcx)
        fldcw   0x54(%rcx)
        movdqu  0x60(%rcx), %xmm6
        movdqu  0x70(%rcx), %xmm7
        movdqu  0x80(%rcx), %xmm8
        movdqu  0x90(%rcx), %xmm9
        movdqu  0xA0(%rcx), %xmm10
        movdqu  0xB0(%rcx), %xmm11
        movdqu  0xC0(%rcx), %xmm12
        movdqu  0xD0(%rcx), %xmm13
        movdqu  0xE0(%rcx), %xmm14
        movdqu  0xF0(%rcx), %xmm15
        mov     0x08(%rcx), %rsp
        jmp     *0x48(%rcx)
#if defined(__ELF__)
        .size LongJump, . - LongJump
        .section .note.GNU-stack, "", @progbits
#endif
