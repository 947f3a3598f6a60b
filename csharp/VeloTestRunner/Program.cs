using System;
using System.Collections.Generic;
using System.IO;
using System.Reflection;
using System.Runtime.InteropServices;
using NUnit.Framework.Api;
using NUnit.Framework.Interfaces;
using NUnit.Framework.Internal;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Runs the suite compiled into this program through NUnit's own runner, printing
    /// each test that did not pass and a closing "N passed, N failed"; exits 0 only if every
    /// test passed. With --as-player it plays a player among a set of native libraries instead
    /// (LoadFailureTests).</summary>
    internal static class Program
    {
        // NUnit redirects the console while tests run: reports go to the program's own, taken
        // in Main before the runner starts (a field initialiser may run only at first use).
        private static TextWriter Out;

        private static int Main(string[] arguments)
        {
            Out = Console.Out;
#if NET
            // The Windows program (the suite and its players) runs under Wine, whose exception
            // dispatch needs this help (the library's source says why); elsewhere it registers
            // nothing.
            if (OperatingSystem.IsWindows())
            {
                DropStaleWineFrames();
            }
#endif
            if (arguments.Length == 1 && arguments[0] == LoadFailureTests.PlayerArgument)
            {
                return LoadFailureTests.PlayAsPlayer();
            }
#if NETFRAMEWORK
            // This build runs under mono's full AOT, as IL2CPP players run code. Json.NET's .NET
            // Framework build emits code at run time for its serializer (which the tests use to
            // write records); the build Unity gives IL2CPP players never does: as there.
            typeof(Newtonsoft.Json.JsonConvert)
                .Assembly.GetType("Newtonsoft.Json.Serialization.JsonTypeReflector", true)
                .GetField("_dynamicCodeGeneration", BindingFlags.NonPublic | BindingFlags.Static)
                .SetValue(null, false);
#endif
            var runner = new NUnitTestAssemblyRunner(new DefaultTestAssemblyBuilder());
            runner.Load(typeof(Program).Assembly, new Dictionary<string, object>());
            var listener = new Listener();
            runner.Run(listener, TestFilter.Empty);
            Out.WriteLine(listener.Passed + " passed, " + listener.Failed + " failed");
            return listener.Failed == 0 && listener.Passed > 0 ? 0 : 1;
        }

#if NET
        [DllImport("VeloWineTestSupport", EntryPoint = "veloTestDropStaleWineFrames")]
        [return: MarshalAs(UnmanagedType.U1)]
        private static extern bool DropStaleWineFrames();
#endif

        private sealed class Listener : ITestListener
        {
            public int Passed;
            public int Failed;

            public void TestStarted(ITest test)
            {
            }

            public void TestFinished(ITestResult result)
            {
                if (result.Test.IsSuite)
                {
                    return;
                }
                if (result.ResultState.Status == TestStatus.Passed)
                {
                    ++Passed;
                    return;
                }
                ++Failed;
                Out.WriteLine(result.ResultState + ": " + result.FullName + "\n  " +
                              result.Message + "\n" + result.StackTrace);
            }

            public void TestOutput(TestOutput output)
            {
            }

            public void SendMessage(TestMessage message)
            {
            }
        }
    }
}
