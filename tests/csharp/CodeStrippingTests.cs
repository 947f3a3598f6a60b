using System;
using System.Collections.Generic;
using System.Linq;
using System.Reflection;
using System.Reflection.Emit;
using System.Runtime.InteropServices;
using AOT;
using NUnit.Framework;
using UnityEngine;
using UnityEngine.Scripting;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>IL2CPP's rules, read off the built binding: what native code calls is a static
    /// [MonoPInvokeCallback] method of the right delegate type, the binding reaches nothing by
    /// reflection, and what only the engine or native code reaches is marked [Preserve], so that
    /// code stripping keeps it when the package is installed from its tarball (where Unity reads
    /// no link.xml).</summary>
    public class CodeStrippingTests
    {
        private static readonly Assembly Binding = typeof(VeloAdapter).Assembly;

        private const BindingFlags Declared = BindingFlags.Public | BindingFlags.NonPublic |
                                              BindingFlags.Static | BindingFlags.Instance |
                                              BindingFlags.DeclaredOnly;

        private static readonly string[] MessageMethods =
            ("Awake Start Update LateUpdate FixedUpdate OnEnable OnDisable OnDestroy " +
             "OnApplicationQuit OnApplicationPause OnApplicationFocus")
                .Split(' ');

        [Test]
        public void EveryDelegateHandedToNativeCodeTargetsAStaticCallbackOfItsType()
        {
            var nativeDelegates = Methods()
                                      .Where(m => m.IsDefined(typeof(DllImportAttribute), false))
                                      .SelectMany(m => m.GetParameters())
                                      .Select(p => p.ParameterType)
                                      .Where(t => typeof(Delegate).IsAssignableFrom(t))
                                      .ToList();
            Assert.IsTrue(nativeDelegates.All(
                t => t.IsDefined(typeof(UnmanagedFunctionPointerAttribute), false)));
            var made =
                Methods()
                    .SelectMany(m => IL(m).Zip(IL(m).Skip(1), (a, b) => (m, a, b)))
                    .Where(i => i.b.OpCode == OpCodes.Newobj &&
                                nativeDelegates.Contains(Resolve(i.m, i.b.Token).DeclaringType))
                    .Select(i => (i.a.OpCode == OpCodes.Ldftn ? Resolve(i.m, i.a.Token) : null,
                                  Resolve(i.m, i.b.Token).DeclaringType))
                    .ToList();
            CollectionAssert.IsNotEmpty(made, "the native callback's delegate is made");
            foreach (var (target, type) in made)
            {
                var callback = target?.GetCustomAttributesData().SingleOrDefault(
                    a => a.AttributeType == typeof(MonoPInvokeCallbackAttribute));
                Assert.IsTrue(
                    target != null && target.IsStatic && !target.IsGenericMethod &&
                        !target.DeclaringType.IsGenericType &&
                        !(target.Name + target.DeclaringType.Name).Contains("<") &&
                        type.Equals(callback?.ConstructorArguments[0].Value),
                    type + " made for " + target +
                        ": not a static, non-generic, named [MonoPInvokeCallback] method");
            }
        }

        [Test]
        public void TheBindingCallsNoReflection()
        {
            var calls = Methods().SelectMany(
                m => IL(m)
                         .Where(i => i.OpCode.OperandType == OperandType.InlineMethod &&
                                     IsReflection(Resolve(m, i.Token)))
                         .Select(i => m.DeclaringType + "." + m.Name + " calls " +
                                      Resolve(m, i.Token)));
            CollectionAssert.IsEmpty(calls.ToList());
        }

        [Test]
        public void WhatOnlyTheEngineOrNativeCodeReachesIsPreserved()
        {
            var reached =
                Methods()
                    .Where(m =>
                               m.IsDefined(typeof(RuntimeInitializeOnLoadMethodAttribute), false) ||
                               m.IsDefined(typeof(MonoPInvokeCallbackAttribute), false) ||
                               typeof(MonoBehaviour).IsAssignableFrom(m.DeclaringType) &&
                                   MessageMethods.Contains(m.Name))
                    .ToList();
            Assert.GreaterOrEqual(reached.Count, 3, "a run-on-load method, a callback, a message");
            foreach (var method in reached)
                Assert.IsTrue(method.IsDefined(typeof(PreserveAttribute), true),
                              method.DeclaringType + "." + method.Name + " has no [Preserve]");
        }

        private static IEnumerable<MethodBase> Methods() => Binding.GetTypes().SelectMany(
            t => t.GetMethods(Declared).Cast<MethodBase>().Concat(t.GetConstructors(Declared)));

        private static bool IsReflection(MethodBase called)
        {
            var type = called.DeclaringType;
            // typeof(T) is GetTypeFromHandle, resolved when compiled; the rest look things up.
            return type != null &&
                   (type.Namespace == "System.Reflection" || type == typeof(Activator) ||
                    type == typeof(Type) && called.Name != "GetTypeFromHandle" &&
                        !called.Name.StartsWith("op_") && !called.Name.StartsWith("get_") ||
                    type == typeof(Attribute) && called.Name.StartsWith("GetCustomAttribute"));
        }

        private static MethodBase Resolve(MethodBase inMethod, int token)
        {
            var type = inMethod.DeclaringType;
            return inMethod.Module.ResolveMethod(
                token, type.IsGenericType ? type.GetGenericArguments() : null,
                inMethod.IsGenericMethod ? inMethod.GetGenericArguments() : null);
        }

        private static readonly Dictionary<short, OpCode> OpCodeByValue =
            typeof(OpCodes)
                .GetFields(BindingFlags.Public | BindingFlags.Static)
                .Select(f => (OpCode)f.GetValue(null))
                .ToDictionary(o => o.Value);

        /// <summary>The instructions of a method body, each with its 4-byte operand (a token for
        /// method, field and type operands).</summary>
        private static IEnumerable<(OpCode OpCode, int Token)> IL(MethodBase method)
        {
            var il = method.GetMethodBody()?.GetILAsByteArray() ?? new byte[0];
            for (var at = 0; at < il.Length;)
            {
                var opCode = OpCodeByValue[il[at] == 0xFE ? (short)(0xFE00 | il[at + 1]) : il[at]];
                at += opCode.Size;
                var type = opCode.OperandType;
                var operand =
                    type == OperandType.InlineNone ? 0
                    : type == OperandType.ShortInlineBrTarget || type == OperandType.ShortInlineI ||
                            type == OperandType.ShortInlineVar
                        ? 1
                    : type == OperandType.InlineVar                               ? 2
                    : type == OperandType.InlineI8 || type == OperandType.InlineR ? 8
                    : type == OperandType.InlineSwitch ? 4 + 4 * BitConverter.ToInt32(il, at)
                                                       : 4;
                yield return (opCode, operand == 4 ? BitConverter.ToInt32(il, at) : 0);
                at += operand;
            }
        }
    }
}
