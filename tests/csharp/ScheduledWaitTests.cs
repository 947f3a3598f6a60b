using System;
using System.Runtime.CompilerServices;
using System.Threading;
using System.Threading.Tasks;
using NUnit.Framework;

namespace Corvan.Velo.Unity.Tests
{
    /// <summary>Races of the awaiting tasks, their window held open by the schedule points of
    /// the tests' build of the binding (csharp/Corvan.Velo.Unity/SchedulePoints.cs), so that each
    /// is met in every run.</summary>
    public class ScheduledWaitTests : BindingTest
    {
        [TearDown]
        public void RemoveTheHook()
        {
            ResultWaits.SchedulePointHook = null;
        }

        [Test]
        public void AWaitEndedWhileAnotherThreadBeginsItLeavesNothingRegisteredWithItsToken()
        {
            var longLived = new CancellationTokenSource();
            var endings = new(string, Action)[] {
                ("its result", () => FireAndDispatch<BaseResult>("base", "{}")),
                ("Shutdown", VeloAdapter.Shutdown),
            };
            foreach (var (ending, end) in endings)
            {
                VeloAdapter.Initialize();
                var held = new SemaphoreSlim(0);
                var go = new SemaphoreSlim(0);
                ResultWaits.SchedulePointHook = point =>
                {
                    held.Release();
                    go.Wait();
                };
                Task<BaseResult> wait = null;
                WeakReference captured = null;
                var worker = new Thread(() => wait = Begin(longLived.Token, out captured));
                worker.Start();
                held.Wait(); // listed, its token not yet watched
                ResultWaits.SchedulePointHook = null;
                end();
                go.Release();
                worker.Join();
                Assert.IsTrue(wait.IsCompleted, ending);
                GC.Collect();
                GC.WaitForPendingFinalizers();
                GC.Collect();
                Assert.IsFalse(captured.IsAlive, "kept by the token after " + ending);
                Assert.AreEqual(0, ResultWaits.Count, "kept by the dispatcher after " + ending);
            }
            GC.KeepAlive(longLived);
        }

        /// <summary>A wait whose predicate holds an object only `captured` refers to.</summary>
        [MethodImpl(MethodImplOptions.NoInlining)]
        private static Task<BaseResult> Begin(CancellationToken token, out WeakReference captured)
        {
            var state = new object();
            captured = new WeakReference(state);
            return ResultDispatcher.NextAsync<BaseResult>(r => state != null, token);
        }
    }
}
