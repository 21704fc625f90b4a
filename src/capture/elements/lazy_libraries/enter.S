# Where a stand-in's function comes on its first call: its index on the
# stack, above it the caller's return address, the caller's arguments still
# in their registers. They are kept while qmd_lazy_resolve finds the real
# function, which is then entered as if it had been called directly.
  .text
  .globl qmd_lazy_enter
  .hidden qmd_lazy_enter
  .type qmd_lazy_enter, @function
  .p2align 4
qmd_lazy_enter:
  .cfi_startproc
  .cfi_adjust_cfa_offset 8
  pushq %rbp
  .cfi_adjust_cfa_offset 8
  .cfi_rel_offset %rbp, 0
  movq %rsp, %rbp
  .cfi_def_cfa_register %rbp
  # The argument registers, %rax (the vector count of a variadic call) and
  # %r10 (a static chain); the stack stays 16-byte aligned for the call.
  pushq %rdi
  pushq %rsi
  pushq %rdx
  pushq %rcx
  pushq %r8
  pushq %r9
  pushq %rax
  pushq %r10
  subq $136, %rsp
  movdqu %xmm0, 0(%rsp)
  movdqu %xmm1, 16(%rsp)
  movdqu %xmm2, 32(%rsp)
  movdqu %xmm3, 48(%rsp)
  movdqu %xmm4, 64(%rsp)
  movdqu %xmm5, 80(%rsp)
  movdqu %xmm6, 96(%rsp)
  movdqu %xmm7, 112(%rsp)
  movq 8(%rbp), %rdi
  call qmd_lazy_resolve
  movq %rax, %r11
  movdqu 0(%rsp), %xmm0
  movdqu 16(%rsp), %xmm1
  movdqu 32(%rsp), %xmm2
  movdqu 48(%rsp), %xmm3
  movdqu 64(%rsp), %xmm4
  movdqu 80(%rsp), %xmm5
  movdqu 96(%rsp), %xmm6
  movdqu 112(%rsp), %xmm7
  addq $136, %rsp
  popq %r10
  popq %rax
  popq %r9
  popq %r8
  popq %rcx
  popq %rdx
  popq %rsi
  popq %rdi
  popq %rbp
  .cfi_def_cfa %rsp, 16
  # Drop the index: the stack is the caller's again.
  addq $8, %rsp
  .cfi_adjust_cfa_offset -8
  jmp *%r11
  .cfi_endproc
  .size qmd_lazy_enter, .-qmd_lazy_enter

  .section .note.GNU-stack,"",@progbits
