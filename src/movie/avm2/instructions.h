// The AVM2 instruction set, one list: code, name, the operands that follow the opcode
// byte. The enum, the names and the decoder (decoder.h) follow from it.
//
// Operand kinds:
//   None       nothing
//   U8         one byte (pushbyte: a signed byte; getscopeobject: a scope index)
//   U30        one variable-length index or count
//   U30x2      two of them (a multiname and an argument count; hasnext2's two registers)
//   S24        a branch offset, relative to the end of the instruction
//   Switch     lookupswitch: default offset, case count, then count + 1 offsets, all
//              relative to the start of the instruction
//   Debug      debug: a byte, an index, a byte, an index
#pragma once

#include <cstdint>

namespace orv::movie::avm2 {

enum class Operands : uint8_t { None, U8, U30, U30x2, S24, Switch, Debug };

// X(code, name, operands)
#define ORV_AVM2_INSTRUCTIONS(X)                                             \
  X(0x01, bkpt, None) /* debugger breakpoint: nothing */                     \
  X(0x02, nop, None)                                                         \
  X(0x03, throw_, None)  /* throw the value on top */                        \
  X(0x04, getsuper, U30) /* the base class's property of obj */              \
  X(0x05, setsuper, U30)                                                     \
  X(0x06, dxns, U30) /* default XML namespace (E4X) */                       \
  X(0x07, dxnslate, None)                                                    \
  X(0x08, kill, U30)   /* register := undefined */                           \
  X(0x09, label, None) /* a backward branch target */                        \
  X(0x0C, ifnlt, S24)                                                        \
  X(0x0D, ifnle, S24)                                                        \
  X(0x0E, ifngt, S24)                                                        \
  X(0x0F, ifnge, S24)                                                        \
  X(0x10, jump, S24)                                                         \
  X(0x11, iftrue, S24)                                                       \
  X(0x12, iffalse, S24)                                                      \
  X(0x13, ifeq, S24)                                                         \
  X(0x14, ifne, S24)                                                         \
  X(0x15, iflt, S24)                                                         \
  X(0x16, ifle, S24)                                                         \
  X(0x17, ifgt, S24)                                                         \
  X(0x18, ifge, S24)                                                         \
  X(0x19, ifstricteq, S24)                                                   \
  X(0x1A, ifstrictne, S24)                                                   \
  X(0x1B, lookupswitch, Switch) /* jump by an index on the stack */          \
  X(0x1C, pushwith, None)       /* push an object as a with scope */         \
  X(0x1D, popscope, None)                                                    \
  X(0x1E, nextname, None) /* for-in: the name at an index */                 \
  X(0x1F, hasnext, None)  /* for-in: the next index */                       \
  X(0x20, pushnull, None)                                                    \
  X(0x21, pushundefined, None)                                               \
  X(0x23, nextvalue, None) /* for-each: the value at an index */             \
  X(0x24, pushbyte, U8)                                                      \
  X(0x25, pushshort, U30) /* the low 16 bits, sign-extended */               \
  X(0x26, pushtrue, None)                                                    \
  X(0x27, pushfalse, None)                                                   \
  X(0x28, pushnan, None)                                                     \
  X(0x29, pop, None)                                                         \
  X(0x2A, dup, None)                                                         \
  X(0x2B, swap, None)                                                        \
  X(0x2C, pushstring, U30)                                                   \
  X(0x2D, pushint, U30)                                                      \
  X(0x2E, pushuint, U30)                                                     \
  X(0x2F, pushdouble, U30)                                                   \
  X(0x30, pushscope, None)                                                   \
  X(0x31, pushnamespace, U30)                                                \
  X(0x32, hasnext2, U30x2) /* for-in over two registers: object, index */    \
  X(0x35, li8, None)       /* domain memory loads and stores */              \
  X(0x36, li16, None)                                                        \
  X(0x37, li32, None)                                                        \
  X(0x38, lf32, None)                                                        \
  X(0x39, lf64, None)                                                        \
  X(0x3A, si8, None)                                                         \
  X(0x3B, si16, None)                                                        \
  X(0x3C, si32, None)                                                        \
  X(0x3D, sf32, None)                                                        \
  X(0x3E, sf64, None)                                                        \
  X(0x40, newfunction, U30) /* a closure over the current scope */           \
  X(0x41, call, U30)        /* function, receiver, arguments */              \
  X(0x42, construct, U30)                                                    \
  X(0x43, callmethod, U30x2) /* by dispatch id */                            \
  X(0x44, callstatic, U30x2) /* by method index */                           \
  X(0x45, callsuper, U30x2)                                                  \
  X(0x46, callproperty, U30x2)                                               \
  X(0x47, returnvoid, None)                                                  \
  X(0x48, returnvalue, None)                                                 \
  X(0x49, constructsuper, U30)                                               \
  X(0x4A, constructprop, U30x2)                                              \
  X(0x4C, callproplex, U30x2) /* callproperty with a null receiver */        \
  X(0x4E, callsupervoid, U30x2)                                              \
  X(0x4F, callpropvoid, U30x2)                                               \
  X(0x50, sxi1, None) /* sign extensions (domain memory's companions) */     \
  X(0x51, sxi8, None)                                                        \
  X(0x52, sxi16, None)                                                       \
  X(0x53, applytype, U30) /* Vector.<T> */                                   \
  X(0x55, newobject, U30) /* name/value pairs */                             \
  X(0x56, newarray, U30)                                                     \
  X(0x57, newactivation, None)                                               \
  X(0x58, newclass, U30)       /* base class on the stack */                 \
  X(0x59, getdescendants, U30) /* E4X x..name */                             \
  X(0x5A, newcatch, U30)       /* the catch scope of an exception handler */ \
  X(0x5D, findpropstrict, U30)                                               \
  X(0x5E, findproperty, U30)                                                 \
  X(0x5F, finddef, U30)                                                      \
  X(0x60, getlex, U30) /* findpropstrict then getproperty */                 \
  X(0x61, setproperty, U30)                                                  \
  X(0x62, getlocal, U30)                                                     \
  X(0x63, setlocal, U30)                                                     \
  X(0x64, getglobalscope, None)                                              \
  X(0x65, getscopeobject, U8)                                                \
  X(0x66, getproperty, U30)                                                  \
  X(0x68, initproperty, U30)                                                 \
  X(0x6A, deleteproperty, U30)                                               \
  X(0x6C, getslot, U30)                                                      \
  X(0x6D, setslot, U30)                                                      \
  X(0x6E, getglobalslot, U30)                                                \
  X(0x6F, setglobalslot, U30)                                                \
  X(0x70, convert_s, None)                                                   \
  X(0x71, esc_xelem, None) /* E4X escapes */                                 \
  X(0x72, esc_xattr, None)                                                   \
  X(0x73, convert_i, None)                                                   \
  X(0x74, convert_u, None)                                                   \
  X(0x75, convert_d, None)                                                   \
  X(0x76, convert_b, None)                                                   \
  X(0x77, convert_o, None)   /* TypeError on null and undefined */           \
  X(0x78, checkfilter, None) /* E4X filter operand check */                  \
  X(0x80, coerce, U30)       /* to a named type */                           \
  X(0x81, coerce_b, None)                                                    \
  X(0x82, coerce_a, None)                                                    \
  X(0x83, coerce_i, None)                                                    \
  X(0x84, coerce_d, None)                                                    \
  X(0x85, coerce_s, None) /* null and undefined stay null */                 \
  X(0x86, astype, U30)                                                       \
  X(0x87, astypelate, None)                                                  \
  X(0x88, coerce_u, None)                                                    \
  X(0x89, coerce_o, None)                                                    \
  X(0x90, negate, None)                                                      \
  X(0x91, increment, None)                                                   \
  X(0x92, inclocal, U30)                                                     \
  X(0x93, decrement, None)                                                   \
  X(0x94, declocal, U30)                                                     \
  X(0x95, typeof_, None)                                                     \
  X(0x96, not_, None)                                                        \
  X(0x97, bitnot, None)                                                      \
  X(0xA0, add, None)                                                         \
  X(0xA1, subtract, None)                                                    \
  X(0xA2, multiply, None)                                                    \
  X(0xA3, divide, None)                                                      \
  X(0xA4, modulo, None)                                                      \
  X(0xA5, lshift, None)                                                      \
  X(0xA6, rshift, None)                                                      \
  X(0xA7, urshift, None)                                                     \
  X(0xA8, bitand_, None)                                                     \
  X(0xA9, bitor_, None)                                                      \
  X(0xAA, bitxor, None)                                                      \
  X(0xAB, equals, None)                                                      \
  X(0xAC, strictequals, None)                                                \
  X(0xAD, lessthan, None)                                                    \
  X(0xAE, lessequals, None)                                                  \
  X(0xAF, greaterthan, None)                                                 \
  X(0xB0, greaterequals, None)                                               \
  X(0xB1, instanceof, None)                                                  \
  X(0xB2, istype, U30)                                                       \
  X(0xB3, istypelate, None)                                                  \
  X(0xB4, in, None)                                                          \
  X(0xC0, increment_i, None)                                                 \
  X(0xC1, decrement_i, None)                                                 \
  X(0xC2, inclocal_i, U30)                                                   \
  X(0xC3, declocal_i, U30)                                                   \
  X(0xC4, negate_i, None)                                                    \
  X(0xC5, add_i, None)                                                       \
  X(0xC6, subtract_i, None)                                                  \
  X(0xC7, multiply_i, None)                                                  \
  X(0xD0, getlocal0, None)                                                   \
  X(0xD1, getlocal1, None)                                                   \
  X(0xD2, getlocal2, None)                                                   \
  X(0xD3, getlocal3, None)                                                   \
  X(0xD4, setlocal0, None)                                                   \
  X(0xD5, setlocal1, None)                                                   \
  X(0xD6, setlocal2, None)                                                   \
  X(0xD7, setlocal3, None)                                                   \
  X(0xEF, debug, Debug)                                                      \
  X(0xF0, debugline, U30)                                                    \
  X(0xF1, debugfile, U30)

enum class Op : uint8_t {
#define ORV_AVM2_ENUM(code, name, operands) name = code,
  ORV_AVM2_INSTRUCTIONS(ORV_AVM2_ENUM)
#undef ORV_AVM2_ENUM
};

struct InstructionInfo {
  const char* name = nullptr;  // null: not an instruction
  Operands operands = Operands::None;
};

// What the list says of an opcode byte (name null for bytes that are no instruction).
const InstructionInfo& instructionInfo(uint8_t code);
// The name scripts' disassemblies use ("throw", "typeof", "not", "bitand", "bitor").
const char* instructionName(Op op);

}  // namespace orv::movie::avm2
