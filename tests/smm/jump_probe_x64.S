// JumpProbe(context RCX, out RDX, value R8), Microsoft x64 convention: loads known values into
// every callee-saved register, the MXCSR and the x87 control word, calls SetJump, clobbers all
// of them (and moves the stack) on the direct return and calls LongJump; after the resumption
// it stores what the registers hold into `out` and returns SetJump's second value. The
// caller's own registers are saved and restored around all of it.
//   out: 0x00 rbx, rbp, rdi, rsi, r12, r13, r14, r15; 0x40 rsp after; 0x48 xmm6..xmm15;
//        0xE8 mxcsr; 0xEC x87 control word; 0xF0 rsp before
        .text
        .globl JumpProbe
#if defined(__ELF__)
        .type JumpProbe, @function
#endif
        .p2align 4
JumpProbe:
        push    %rbx
        push    %rbp
        push    %rdi
        push    %rsi
        push    %r12
        push    %r13
        push    %r14
        push    %r15
        sub     $0xF8, %rsp               // 16-byte aligned for the calls below
        movdqu  %xmm6, 0x50(%rsp)
        movdqu  %xmm7, 0x60(%rsp)
        movdqu  %xmm8, 0x70(%rsp)
        movdqu  %xmm9, 0x80(%rsp)
        movdqu  %xmm10, 0x90(%rsp)
        movdqu  %xmm11, 0xA0(%rsp)
        movdqu  %xmm12, 0xB0(%rsp)
        movdqu  %xmm13, 0xC0(%rsp)
        movdqu  %xmm14, 0xD0(%rsp)
        movdqu  %xmm15, 0xE0(%rsp)
        stmxcsr 0x38(%rsp)
        fnstcw  0x3C(%rsp)
        mov     %rcx, 0x20(%rsp)
        mov     %rdx, 0x28(%rsp)
        mov     %r8, 0x30(%rsp)
        mov     %rsp, 0xF0(%rdx)

        // Known values: 0xA1.. per register.
        movabsq $0xA1A1A1A1A1A1A1A1, %rbx
        movabsq $0xA2A2A2A2A2A2A2A2, %rbp
        movabsq $0xA3A3A3A3A3A3A3A3, %rdi
        movabsq $0xA4A4A4A4A4A4A4A4, %rsi
        movabsq $0xA5A5A5A5A5A5A5A5, %r12
        movabsq $0xA6A6A6A6A6A6A6A6, %r13
        movabsq $0xA7A7A7A7A7A7A7A7, %r14
        movabsq $0xA8A8A8A8A8A8A8A8, %r15
        movabsq $0xB6B6B6B6B6B6B6B6, %rax
        movq    %rax, %xmm6
        punpcklqdq %xmm6, %xmm6
        movabsq $0xB7B7B7B7B7B7B7B7, %rax
        movq    %rax, %xmm7
        punpcklqdq %xmm7, %xmm7
        movabsq $0xB8B8B8B8B8B8B8B8, %rax
        movq    %rax, %xmm8
        punpcklqdq %xmm8, %xmm8
        movabsq $0xB9B9B9B9B9B9B9B9, %rax
        movq    %rax, %xmm9
        punpcklqdq %xmm9, %xmm9
        movabsq $0xBABABABABABABABA, %rax
        movq    %rax, %xmm10
        punpcklqdq %xmm10, %xmm10
        movabsq $0xBBBBBBBBBBBBBBBB, %rax
        movq    %rax, %xmm11
        punpcklqdq %xmm11, %xmm11
        movabsq $0xBCBCBCBCBCBCBCBC, %rax
        movq    %rax, %xmm12
        punpcklqdq %xmm12, %xmm12
        movabsq $0xBDBDBDBDBDBDBDBD, %rax
        movq    %rax, %xmm13
        punpcklqdq %xmm13, %xmm13
        movabsq $0xBEBEBEBEBEBEBEBE, %rax
        movq    %rax, %xmm14
        punpcklqdq %xmm14, %xmm14
        movabsq $0xBFBFBFBFBFBFBFBF, %rax
        movq    %rax, %xmm15
        punpcklqdq %xmm15, %xmm15
        movl    $0x3F80, 0x18(%rsp)   // MXCSR: masked, round down
        ldmxcsr 0x18(%rsp)
        movw    $0x027F, 0x18(%rsp)    // x87: 53-bit precision
        fldcw   0x18(%rsp)

        mov     0x20(%rsp), %rcx
        call    SetJump
        test    %rax, %rax
        jnz     2f

        // Direct return: clobber everything, move the stack, jump back.
        xor     %ebx, %ebx
        xor     %ebp, %ebp
        xor     %edi, %edi
        xor     %esi, %esi
        xor     %r12d, %r12d
        xor     %r13d, %r13d
        xor     %r14d, %r14d
        xor     %r15d, %r15d
        pxor    %xmm6, %xmm6
        pxor    %xmm7, %xmm7
        pxor    %xmm8, %xmm8
        pxor    %xmm9, %xmm9
        pxor    %xmm10, %xmm10
        pxor    %xmm11, %xmm11
        pxor    %xmm12, %xmm12
        pxor    %xmm13, %xmm13
        pxor    %xmm14, %xmm14
        pxor    %xmm15, %xmm15
        movl    $0x1F80, 0x18(%rsp)
        ldmxcsr 0x18(%rsp)
        movw    $0x037F, 0x18(%rsp)
        fldcw   0x18(%rsp)
        mov     0x20(%rsp), %rcx
        mov     0x30(%rsp), %rdx
        sub     $0x100, %rsp
        call    LongJump

2:      // Resumed: record what the registers hold.
        mov     0x28(%rsp), %r11
        mov     %rbx, 0x00(%r11)
        mov     %rbp, 0x08(%r11)
        mov     %rdi, 0x10(%r11)
        mov     %rsi, 0x18(%r11)
        mov     %r12, 0x20(%r11)
        mov     %r13, 0x28(%r11)
        mov     %r14, 0x30(%r11)
        mov     %r15, 0x38(%r11)
        mov     %rsp, 0x40(%r11)
        movdqu  %xmm6, 0x48(%r11)
        movdqu  %xmm7, 0x58(%r11)
        movdqu  %xmm8, 0x68(%r11)
        movdqu  %xmm9, 0x78(%r11)
        movdqu  %xmm10, 0x88(%r11)
        movdqu  %xmm11, 0x98(%r11)
        movdqu  %xmm12, 0xA8(%r11)
        movdqu  %xmm13, 0xB8(%r11)
        movdqu  %xmm14, 0xC8(%r11)
        movdqu  %xmm15, 0xD8(%r11)
        stmxcsr 0xE8(%r11)
        fnstcw  0xEC(%r11)

        movdqu  0x50(%rsp), %xmm6
        movdqu  0x60(%rsp), %xmm7
        movdqu  0x70(%rsp), %xmm8
        movdqu  0x80(%rsp), %xmm9
        movdqu  0x90(%rsp), %xmm10
        movdqu  0xA0(%rsp), %xmm11
        movdqu  0xB0(%rsp), %xmm12
        movdqu  0xC0(%rsp), %xmm13
        movdqu  0xD0(%rsp), %xmm14
        movdqu  0xE0(%rsp), %xmm15
        ldmxcsr 0x38(%rsp)
        fldcw   0x3C(%rsp)
        add     $0xF8, %rsp
        pop     %r15
        pop     %r14
        pop     %r13
        pop     %r12
        pop     %rsi
        pop     %rdi
        pop     %rbp
        pop     %rbx
        ret
#if defined(__ELF__)
        .size JumpProbe, . - JumpProbe
        .section .note.GNU-stack, "", @progbits
#endif
