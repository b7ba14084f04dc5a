// JumpProbe(context RCX, out RDX, value R8), Microsoft x64 convention: loads known values into
// every callee-saved register, the MXCSR and the x87 control word, calls SetJump, clobbers all
// of them (and moves the stack) on the direct return and calls LongJump; after the resumption
// it stores what the registers hold into `out` and returns SetJump's second value. The
// caller's own registers are saved and restored around all of it.
//   out: 0x00 rbx, rbp, rdi, rsi, r12, r13, r14, r15; 0x40 rsp after; 0x48 xmm6..xmm15;
//        0xE8 mxcsr; 0xEC x87 control word; 0xF0 rsp before
        .intel_syntax noprefix
        .text
        .globl JumpProbe
#if defined(__ELF__)
        .type JumpProbe, @function
#endif
        .p2align 4
JumpProbe:
        push    rbx
        push    rbp
        push    rdi
        push    rsi
        push    r12
        push    r13
        push    r14
        push    r15
        sub     rsp, 0xF8               // 16-byte aligned for the calls below
        movdqu  [rsp + 0x50], xmm6
        movdqu  [rsp + 0x60], xmm7
        movdqu  [rsp + 0x70], xmm8
        movdqu  [rsp + 0x80], xmm9
        movdqu  [rsp + 0x90], xmm10
        movdqu  [rsp + 0xA0], xmm11
        movdqu  [rsp + 0xB0], xmm12
        movdqu  [rsp + 0xC0], xmm13
        movdqu  [rsp + 0xD0], xmm14
        movdqu  [rsp + 0xE0], xmm15
        stmxcsr [rsp + 0x38]
        fnstcw  [rsp + 0x3C]
        mov     [rsp + 0x20], rcx
        mov     [rsp + 0x28], rdx
        mov     [rsp + 0x30], r8
        mov     [rdx + 0xF0], rsp

        // Known values: 0xA1.. per register.
        mov     rbx, 0xA1A1A1A1A1A1A1A1
        mov     rbp, 0xA2A2A2A2A2A2A2A2
        mov     rdi, 0xA3A3A3A3A3A3A3A3
        mov     rsi, 0xA4A4A4A4A4A4A4A4
        mov     r12, 0xA5A5A5A5A5A5A5A5
        mov     r13, 0xA6A6A6A6A6A6A6A6
        mov     r14, 0xA7A7A7A7A7A7A7A7
        mov     r15, 0xA8A8A8A8A8A8A8A8
        mov     rax, 0xB6B6B6B6B6B6B6B6
        movq    xmm6, rax
        punpcklqdq xmm6, xmm6
        mov     rax, 0xB7B7B7B7B7B7B7B7
        movq    xmm7, rax
        punpcklqdq xmm7, xmm7
        mov     rax, 0xB8B8B8B8B8B8B8B8
        movq    xmm8, rax
        punpcklqdq xmm8, xmm8
        mov     rax, 0xB9B9B9B9B9B9B9B9
        movq    xmm9, rax
        punpcklqdq xmm9, xmm9
        mov     rax, 0xBABABABABABABABA
        movq    xmm10, rax
        punpcklqdq xmm10, xmm10
        mov     rax, 0xBBBBBBBBBBBBBBBB
        movq    xmm11, rax
        punpcklqdq xmm11, xmm11
        mov     rax, 0xBCBCBCBCBCBCBCBC
        movq    xmm12, rax
        punpcklqdq xmm12, xmm12
        mov     rax, 0xBDBDBDBDBDBDBDBD
        movq    xmm13, rax
        punpcklqdq xmm13, xmm13
        mov     rax, 0xBEBEBEBEBEBEBEBE
        movq    xmm14, rax
        punpcklqdq xmm14, xmm14
        mov     rax, 0xBFBFBFBFBFBFBFBF
        movq    xmm15, rax
        punpcklqdq xmm15, xmm15
        mov     dword ptr [rsp + 0x18], 0x3F80   // MXCSR: masked, round down
        ldmxcsr [rsp + 0x18]
        mov     word ptr [rsp + 0x18], 0x027F    // x87: 53-bit precision
        fldcw   [rsp + 0x18]

        mov     rcx, [rsp + 0x20]
        call    SetJump
        test    rax, rax
        jnz     2f

        // Direct return: clobber everything, move the stack, jump back.
        xor     ebx, ebx
        xor     ebp, ebp
        xor     edi, edi
        xor     esi, esi
        xor     r12d, r12d
        xor     r13d, r13d
        xor     r14d, r14d
        xor     r15d, r15d
        pxor    xmm6, xmm6
        pxor    xmm7, xmm7
        pxor    xmm8, xmm8
        pxor    xmm9, xmm9
        pxor    xmm10, xmm10
        pxor    xmm11, xmm11
        pxor    xmm12, xmm12
        pxor    xmm13, xmm13
        pxor    xmm14, xmm14
        pxor    xmm15, xmm15
        mov     dword ptr [rsp + 0x18], 0x1F80
        ldmxcsr [rsp + 0x18]
        mov     word ptr [rsp + 0x18], 0x037F
        fldcw   [rsp + 0x18]
        mov     rcx, [rsp + 0x20]
        mov     rdx, [rsp + 0x30]
        sub     rsp, 0x100
        call    LongJump

2:      // Resumed: record what the registers hold.
        mov     r11, [rsp + 0x28]
        mov     [r11 + 0x00], rbx
        mov     [r11 + 0x08], rbp
        mov     [r11 + 0x10], rdi
        mov     [r11 + 0x18], rsi
        mov     [r11 + 0x20], r12
        mov     [r11 + 0x28], r13
        mov     [r11 + 0x30], r14
        mov     [r11 + 0x38], r15
        mov     [r11 + 0x40], rsp
        movdqu  [r11 + 0x48], xmm6
        movdqu  [r11 + 0x58], xmm7
        movdqu  [r11 + 0x68], xmm8
        movdqu  [r11 + 0x78], xmm9
        movdqu  [r11 + 0x88], xmm10
        movdqu  [r11 + 0x98], xmm11
        movdqu  [r11 + 0xA8], xmm12
        movdqu  [r11 + 0xB8], xmm13
        movdqu  [r11 + 0xC8], xmm14
        movdqu  [r11 + 0xD8], xmm15
        stmxcsr [r11 + 0xE8]
        fnstcw  [r11 + 0xEC]

        movdqu  xmm6, [rsp + 0x50]
        movdqu  xmm7, [rsp + 0x60]
        movdqu  xmm8, [rsp + 0x70]
        movdqu  xmm9, [rsp + 0x80]
        movdqu  xmm10, [rsp + 0x90]
        movdqu  xmm11, [rsp + 0xA0]
        movdqu  xmm12, [rsp + 0xB0]
        movdqu  xmm13, [rsp + 0xC0]
        movdqu  xmm14, [rsp + 0xD0]
        movdqu  xmm15, [rsp + 0xE0]
        ldmxcsr [rsp + 0x38]
        fldcw   [rsp + 0x3C]
        add     rsp, 0xF8
        pop     r15
        pop     r14
        pop     r13
        pop     r12
        pop     rsi
        pop     rdi
        pop     rbp
        pop     rbx
        ret
#if defined(__ELF__)
        .size JumpProbe, . - JumpProbe
        .section .note.GNU-stack, "", @progbits
#endif
